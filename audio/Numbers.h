#pragma once
// Numbers typed into boxes are read from the leading part of the text:
// optional sign, digits, and for decimals a point and digits. Text that does
// not begin with a number reads as 0.

#include <QString>

double LeadingDecimal(const QString& text);
int LeadingInteger(const QString& text);

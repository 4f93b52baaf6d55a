#include "Numbers.h"

#include <algorithm>
#include <climits>

namespace {

// Length of the number at the start of s (after leading blanks), 0 if none.
QString LeadingPart(const QString& text, bool decimals) {
    const QString s = text.trimmed();
    int i = 0;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        ++i;
    const int digitsFrom = i;
    while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128)
        ++i;
    bool any = i > digitsFrom;
    if (decimals && i < s.size() && s[i] == QLatin1Char('.')) {
        int j = i + 1;
        while (j < s.size() && s[j].isDigit() && s[j].unicode() < 128)
            ++j;
        if (j > i + 1 || any) {
            any = any || j > i + 1;
            i = j;
        }
    }
    return any ? s.left(i) : QString();
}

} // namespace

double LeadingDecimal(const QString& text) {
    const QString part = LeadingPart(text, true);
    return part.isEmpty() ? 0.0 : part.toDouble();
}

int LeadingInteger(const QString& text) {
    const QString part = LeadingPart(text, false);
    bool ok = false;
    const long long v = part.toLongLong(&ok);
    if (!ok)
        return 0;
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

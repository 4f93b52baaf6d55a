#pragma once
// The maker's web presence lives with the update page, which uses most of it.
#include "WebSite.h"

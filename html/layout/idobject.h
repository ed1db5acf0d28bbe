#pragma once
// Anything that can carry an id or anchor name answers where it starts in the laid-out document
// (the reader's TIDObject, kept in its name list).

#include "html/reader/names.h"

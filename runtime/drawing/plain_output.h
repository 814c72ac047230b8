// Any GDI DC as a drawing output of the plain kind, held by its owner for the whole span.
#pragma once

#include "qv/drawing.h" // PlainOutput: a context over the caller's DC, made current
#include "runtime/drawing/drawing_context.h"

#include "runtime/drawing/plain_output.h"

DrawingContext* PlainOutput(HDC dc) {
    if (!IsLiveDC(dc))
        return nullptr;
    int width, height, depth;
    BITMAP bitmap;
    if (GetObjectType(dc) == OBJ_MEMDC &&
        GetObjectA(GetCurrentObject(dc, OBJ_BITMAP), sizeof bitmap, &bitmap)) {
        width = bitmap.bmWidth;
        height = bitmap.bmHeight;
        depth = bitmap.bmBitsPixel * bitmap.bmPlanes;
    } else {
        width = GetDeviceCaps(dc, HORZRES);
        height = GetDeviceCaps(dc, VERTRES);
        depth = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    }
    DrawingContext* context = CreateDrawingContext();
    if (!context)
        return nullptr;
    context->kind = OUTPUT_PLAIN;
    context->dc = dc;
    context->width = width;
    context->height = height;
    context->depth = depth;
    return context;
}

// Positions an HTTP request at a byte offset for the continuation of a partial file.
#pragma once
#include <windows.h>

#include "framework/httpget.h"

// What the server made of the request to continue.
enum class RangeAnswer {
    Positioned,  // the request now delivers the bytes from the position on
    WholeFile,   // the server answered with the whole file (200): only starting over can help
    Refused,     // anything else: no answer, a dropped connection, an error status, a range that
                 // starts elsewhere; the partial file must be left for a later try
};

// Calls InternetSetFilePointer(request, position, FILE_BEGIN). Where that call does not reach the
// position (it is not implemented everywhere), asks for the address again with
// "Range: bytes=<position>-" and takes the new request in place of the old one only when the
// server answers 206 with a Content-Range that starts at position. The old request is kept in
// every other case.
RangeAnswer PositionRequest(CHttpGetW& request, DWORD position);

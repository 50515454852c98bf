// Positions an HTTP request at a byte offset for the continuation of a partial file.
#pragma once
#include <windows.h>
#include <wininet.h>

// Calls InternetSetFilePointer(request, position, FILE_BEGIN). Where that call is not
// implemented, asks for the address again with "Range: bytes=<position>-" and takes the new
// request in place of *request only when the server answers 206 with a Content-Range that starts
// at position. Returns the position reached; anything other than position means the server
// cannot continue, and *request is then unchanged.
DWORD PositionRequest(HINTERNET session, const wchar_t* url, DWORD flags, HINTERNET* request,
                      DWORD position);

// Resource identifiers of vocalis.dll.
#pragma once

#define IDS_SOCKETS_INIT_FAILED 101

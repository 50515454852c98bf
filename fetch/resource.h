// Resource ids of the downloader.
#pragma once
#define IDD_DLDFILE 201
#define IDR_PNG_CLOSE 202
#define IDR_PNG_CANCEL 203

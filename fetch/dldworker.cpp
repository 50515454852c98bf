#include "fetch/dldworker.h"

#include <process.h>

#include <memory>

#include "fetch/dldengine.h"

namespace {

struct WorkerStart {
    HWND hWndDialog;
    DldJob job;
};

unsigned __stdcall DldThreadProc(void* param)
{
    std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(param));
    CDldEngine engine;
    engine.Download(start->job.url, start->job.path, start->job.type, start->hWndDialog);
    return 0;
}

}  // namespace

HANDLE StartDldWorker(HWND hWndDialog, const DldJob& job)
{
    auto* start = new WorkerStart{hWndDialog, job};
    unsigned threadId = 0;
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &DldThreadProc, start, 0, &threadId));
    if (!thread)
        delete start;
    return thread;
}

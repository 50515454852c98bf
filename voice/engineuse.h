// Keeps a voice engine alive while a call runs inside it. The library's waits on the client's
// thread serve messages sent from other threads, so a client's handler may end the talk (End, or
// delete its CTalkInterface) while a call of the client (Init, Start, End) or a socket handler
// of the engine is still inside the engine. Such an End only marks the engine ended; the last
// use deletes it on its way out, and the caller touches nothing of the engine after that.
#pragma once

class CInterface;

class CEngineUse {
public:
    explicit CEngineUse(CInterface* pEngine);
    ~CEngineUse();
    CEngineUse(const CEngineUse&) = delete;
    CEngineUse& operator=(const CEngineUse&) = delete;

    bool Ended() const;
    // A result of the engine's, or 0 when the engine was ended meanwhile.
    int Result(int nResult) const { return Ended() ? 0 : nResult; }

private:
    CInterface* m_pEngine;
};

// Deletes an engine; while it does, EngineBeingDestroyed() is true on this thread.
void DestroyEngine(CInterface* pEngine);
// True while an engine is being destroyed on the calling thread: its playback device is still the
// thread's, so no new engine can start here meanwhile.
bool EngineBeingDestroyed();

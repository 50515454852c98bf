#include "voice/engineuse.h"

#include "voice/engine.h"

namespace {

thread_local int t_nDestroying = 0;

}  // namespace

CEngineUse::CEngineUse(CInterface* pEngine) : m_pEngine(pEngine)
{
    ++m_pEngine->m_nUses;
}

CEngineUse::~CEngineUse()
{
    if (--m_pEngine->m_nUses == 0 && m_pEngine->m_bEnded)
        DestroyEngine(m_pEngine);
}

bool CEngineUse::Ended() const
{
    return m_pEngine->m_bEnded != FALSE;
}

void DestroyEngine(CInterface* pEngine)
{
    ++t_nDestroying;
    delete pEngine;
    --t_nDestroying;
}

bool EngineBeingDestroyed()
{
    return t_nDestroying > 0;
}

// worker.cpp: the worker's construction and destruction, its start on the
// calling thread or a thread of its own, and small helpers of the routine.
#include "engine/worker.h"

#include <windows.h>
#include <objbase.h>

#include "actions/command_options.h"
#include "actions/ref_counter.h"
#include "actions/windows_command_options_system.h"
#include "conditions/expression_parser.h"
#include "conditions/windows_system_facts.h"
#include "engine/message_box.h"
#include "engine/query_cancel_autoplay.h"
#include "engine/setup_globals.h"
#include "engine/setup_host.h"
#include "engine/source_redirection.h"
#include "foundation/error.h"
#include "foundation/kw_ini_file.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "foundation/windows_update_suppression.h"
#include "platform/thread.h"
#include "resources/resource_ids.h"

namespace {
const wchar_t kSchemaCheckProperty[] = L"DcfSchemaVersionCheck";
}

CWorker::CWorker(ISetupHost* host)
    : m_host(host), m_options(new CCommandOptions(CWindowsCommandOptionsSystem::Instance())) {
  RegisterCancelAutoPlay(true);
  m_windowsUpdate.reset(new CWindowsUpdateSuppression());
  m_windowsUpdate->SuppressWindowsUpdate(true);
  m_state.reset(new CSetupState());
  m_state->m_cancelAllowed = 1;
  m_state->SetProperty(kSchemaCheckProperty, L"1.0");
  m_replacements.reset(new CReplacementMap(*m_state));
  m_commandLine.reset(new CEngineCommandLine(*m_state, *m_replacements));
  m_refCounter.reset(new CRefCounter());
  m_runJournal.reset(new CRunJournal());
  if (m_host) {
    ReportInternalError(0, 0, m_host->GetOwnerWindow());
    g_progressWindows = m_host->GetProgressWindows();
  }
  m_systemFacts.reset(new CWindowsSystemFacts());
  m_expressionParser.reset(new CExpressionParser(*m_systemFacts));
}

CWorker::~CWorker() {
  // Revoked while this thread's COM is still up.
  RegisterCancelAutoPlay(false);
  m_windowsUpdate->SuppressWindowsUpdate(false);
  m_refCounter->KeepJournalIn(nullptr);
  m_actionLists.clear();
  m_commandLine.reset();
  m_replacements.reset();
  m_state.reset();
  m_configuration.reset();
  m_options.reset();
  m_expressionParser.reset();
  // COM belongs to the thread that started it; on the dialog path that
  // thread has ended it already.
  if (m_comInitialized && m_comThread == GetCurrentThreadId()) CoUninitialize();
}

DWORD CWorker::StartWorker(HANDLE* thread) {
  if (!thread) return WorkerRoutine();
  DWORD error = ERROR_SUCCESS;
  *thread = StartThread(WorkerThreadProc, this, &error);
  return *thread ? ERROR_SUCCESS : error;
}

unsigned __stdcall WorkerThreadProc(void* parameter) {
  if (!parameter) return ERROR_INVALID_HANDLE;
  CWorker* worker = static_cast<CWorker*>(parameter);
  return worker->StartWorker(nullptr);
}

int CWorker::ShowBox(const std::wstring& text, UINT captionId, UINT style, HWND owner) {
  return ShowMessageBox(owner, text.c_str(), LoadResourceString(captionId).c_str(), style);
}

int CWorker::UiLevel() const { return m_options->GetUILevel(); }
int CWorker::Mode() const { return m_options->GetMode(); }
bool CWorker::IsSilentLevel() const { return UiLevel() >= CCommandOptions::kUILevelBasicNoDialogs; }

std::wstring CWorker::ExpandMacros(const wchar_t* text) const {
  return text ? m_replacements->Expand(text) : std::wstring();
}

std::wstring CWorker::ExpandMacros(const std::wstring& text) const {
  return m_replacements->Expand(text);
}

bool CWorker::ResolveMacro(std::wstring* text, std::wstring* value) const {
  return m_replacements->Resolve(text, value);
}

void CWorker::LogPropertyMaps() const { m_replacements->Log(); }

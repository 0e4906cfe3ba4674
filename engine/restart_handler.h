#pragma once
// restart_handler.h: CRestartHandler ends a run that needs Windows restarted:
// it asks the user when the run may show a box, starts the restart on a
// thread of its own and ends the run with the status that says so.
#include <windows.h>

#include <string>

class CSetupState;
class ISetupHost;

class CRestartHandler {
 public:
  // Restarts Windows; TRUE when the request was accepted (ExitWindowsEx).
  using RestartFunction = BOOL (*)();
  // The Yes/No box of the restart prompt: its button id.
  using PromptFunction = int (*)(const std::wstring& text, const std::wstring& caption, UINT style);

  // Null functions take the system's restart and the engine's message box.
  CRestartHandler(RestartFunction restart = nullptr, PromptFunction prompt = nullptr);

  // Whether the wizard's finish page settles a restart the run leaves
  // pending, by asking the user. Not when the REBOOT option suppresses
  // restarts, nor when the caller asked to be handed the restart request,
  // nor at a level that shows no modal box (/qb- and quieter): there the
  // end of the run settles it as in a quiet run.
  static bool FinishPageAsks(int rebootOption, bool returnRebootRequest, int uiLevel);

  // The end of a quiet run that left a restart pending. Returns when the
  // REBOOT option suppresses restarts; otherwise throws (long) 1641 after
  // the restart was requested, or 1602 when the user declines it. The
  // host's window, if any, is hidden before the prompt.
  void InitiateReboot(CSetupState* state, int rebootOption, int uiLevel, ISetupHost* host);

  // The preparation needs a restart: throws (unsigned long) 0x70669, having
  // started the restart when the run is quiet and gives no REBOOT option;
  // returns when a REBOOT option is given to a quiet run.
  void HandleRebootDuringPreparation(int rebootOption, int uiLevel);
  // Whether HandleRebootDuringPreparation ends the run, leaving it to be
  // resumed after the restart.
  static bool PreparationRestartEndsRun(int rebootOption, int uiLevel);

 private:
  // Requests the restart on a thread and waits, bounded, until it has been
  // requested, so the end of the process cannot cut the request off.
  void StartRebootThreadAndWait();
  static unsigned __stdcall RebootThreadProc(void* parameter);
  static bool IsQuietLevel(int uiLevel);

  RestartFunction m_restart;
  PromptFunction m_prompt;
};

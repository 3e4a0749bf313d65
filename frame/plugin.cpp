#include "plugin.h"

#include "deliverable.h"
#include "random.h"

HINSTANCE moduleInstance;
ViewInfo recordedView;

void RecordView(const ViewInfo& view) { recordedView = view; }

extern "C" int32_t WINAPI Stat(PluginInfo* info) {
  info->version = PLUGIN_VERSION;
  info->name = deliverable.name;
  info->configLabel = deliverable.configLabel;
  info->Init = Init;
  info->Quit = Quit;
  info->Config = Config;
  info->Draw = Draw;
  return 0;
}

#ifdef _WIN32
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  moduleInstance = instance;
  // A host may load and unload a plug-in many times; give the thread-local slot back.
  if (reason == DLL_PROCESS_DETACH) ReleaseRandomSource();
  return TRUE;
}
#endif

#include "server/ModuleLifetime.h"
#include <commctrl.h>
#include "server/ModuleContext.h"
#include "server/ModuleState.h"

void ModuleAttach(HINSTANCE instance)
{
    ModuleStartup(instance);

    // Failures here are not reported: without the classes or the rich-edit
    // library the viewer simply cannot be created.
    INITCOMMONCONTROLSEX classes = {};
    classes.dwSize = sizeof(classes);
    classes.dwICC = ICC_BAR_CLASSES | ICC_COOL_CLASSES;
    ContextInitCommonControlsEx(&classes);

    // The viewer's template uses the "RICHEDIT" class that this library registers.
    g_module.richEdit = ContextLoadLibraryA("RICHED32.DLL");

    DisableThreadLibraryCalls(instance);
}

void ModuleDetach()
{
    ModuleShutdown();
    if (g_module.richEdit) FreeLibrary(g_module.richEdit);
    g_module.richEdit = nullptr;
}

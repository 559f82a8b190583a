#pragma once
// Resource and control ids of Veltrox.dll's dialogs, icons and version.
// Shared by the resource script and the dialog procedures.


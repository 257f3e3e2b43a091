// Identifiers of the Windows program's resources, shared by the resource
// script and the code that loads them.
#ifndef REMDO_APP_WIN32_RESOURCES_H_
#define REMDO_APP_WIN32_RESOURCES_H_

#define REMDO_PROGRAM_ICON 1

#endif  // REMDO_APP_WIN32_RESOURCES_H_

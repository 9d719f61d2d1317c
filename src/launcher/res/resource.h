/* Resource identifiers of launcher.exe. */
#define IDI_PROGRAM 1          /* program icon; the window class loads it */
#define IDR_MANIFEST 1         /* application manifest (resource type 24) */

/*
 * xvidcore.dll for the Wine test bench: a Wine builtin that hands the three entry
 * points Vantor uses to the system's libxvidcore.so.4. Real Windows users install
 * Xvid itself; this only lets the bench record with the same library.
 *
 * On x86-64 the Windows side calls with the Microsoft convention and libxvidcore
 * with the System V one; the compiler translates for direct calls, but the
 * rate-control plug-in travels as a function pointer inside the create record, so
 * the bridge swaps its own plug-in export for the library's before creating.
 */
/* The Wine headers use va_list without including what declares it. */
#include <stdarg.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>
#include <xvid.h>
#include <windef.h>
#include <winbase.h>

typedef int (*unix_entry)(void *, int, void *, void *);

static void *library;
static unix_entry real_global, real_encore, real_plugin_single;

static int bind_library(void)
{
    if (real_global && real_encore && real_plugin_single) return 1;
    if (!library) library = dlopen("libxvidcore.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!library) return 0;
    real_global = (unix_entry)dlsym(library, "xvid_global");
    real_encore = (unix_entry)dlsym(library, "xvid_encore");
    real_plugin_single = (unix_entry)dlsym(library, "xvid_plugin_single");
    return real_global && real_encore && real_plugin_single;
}

int __cdecl bridge_xvid_plugin_single(void *handle, int opt, void *param1, void *param2)
{
    if (!bind_library()) return XVID_ERR_FAIL;
    return real_plugin_single(handle, opt, param1, param2);
}

int __cdecl bridge_xvid_global(void *handle, int opt, void *param1, void *param2)
{
    if (!bind_library()) return XVID_ERR_FAIL;
    return real_global(handle, opt, param1, param2);
}

int __cdecl bridge_xvid_encore(void *handle, int opt, void *param1, void *param2)
{
    if (!bind_library()) return XVID_ERR_FAIL;
    if (opt == XVID_ENC_CREATE && param1) {
        xvid_enc_create_t *create = param1;
        xvid_enc_plugin_t *original = create->plugins, *swapped = NULL;
        int result, i;
        if (original && create->num_plugins > 0) {
            swapped = malloc(sizeof(*swapped) * create->num_plugins);
            if (!swapped) return XVID_ERR_MEMORY;
            memcpy(swapped, original, sizeof(*swapped) * create->num_plugins);
            for (i = 0; i < create->num_plugins; i++)
                if (swapped[i].func == (xvid_plugin_func *)bridge_xvid_plugin_single)
                    swapped[i].func = (xvid_plugin_func *)real_plugin_single;
            create->plugins = swapped;
        }
        result = real_encore(handle, opt, param1, param2);
        create->plugins = original;
        free(swapped);
        return result;
    }
    return real_encore(handle, opt, param1, param2);
}

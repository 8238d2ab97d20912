#ifndef OXLE_HOST_I18N_H
#define OXLE_HOST_I18N_H

// Captions and settings texts go through the host's message catalogue. The C library's
// dcgettext is the host's lookup: with no catalogue installed it returns the message id.
#include <libintl.h>
#include <locale.h>

#ifndef LC_MESSAGES
#define LC_MESSAGES 5
#endif

// Shorthand the plugin uses for the default text domain.
inline const char* _(const char* msgid)
{
	return dcgettext(nullptr, msgid, LC_MESSAGES);
}

#endif

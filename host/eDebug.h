#ifndef OXLE_HOST_EDEBUG_H
#define OXLE_HOST_EDEBUG_H

// One diagnostic line each; a trailing newline is added when the text lacks one.
void eDebug(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void eWarning(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void eFatal(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

#endif

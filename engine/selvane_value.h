/* Selvane value access for host programs: read parameter values of an XML file by
 * their dotted path ("config.db.host").
 *
 *   if (OpenXMLFile(u"/path/settings.xml")) {
 *       char16_t value[256];
 *       size_t needed;
 *       if (ReadXMLValue(u"config.db.host", value, 256, &needed) && needed <= 256)
 *           use(value);
 *   }
 *   CloseXMLFile(u"/path/settings.xml");
 *
 * Text is UTF-16 and zero-terminated. One document is held for the whole process; call
 * from one thread. "READEVER" under Software\Trelvix\XML makes every read reload the file.
 */
#ifndef SELVANE_VALUE_H
#define SELVANE_VALUE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#else
#include <uchar.h>
#endif

#if defined(_WIN32) && defined(SELVANE_VALUE_BUILD)
#define SELVANE_VALUE_API __declspec(dllexport)
#elif defined(_WIN32)
#define SELVANE_VALUE_API __declspec(dllimport)
#else
#define SELVANE_VALUE_API __attribute__((visibility("default")))
#endif

/* Loads the file; 1 when it was loaded, 0 otherwise. */
SELVANE_VALUE_API int OpenXMLFile(const char16_t* fileName);

/* 1 when the item of `valuePath` exists; `*valueNeeded` (when not null) then receives the
 * value's length in units including the terminator, and the value is copied into `value`
 * when it fits in `valueSize` units (otherwise `value` gets the empty text when it has room
 * for it). An item without that parameter gives the empty value. 0 when there is no such
 * item or no open file; `value` and `*valueNeeded` are then untouched. */
SELVANE_VALUE_API int ReadXMLValue(const char16_t* valuePath, char16_t* value, size_t valueSize,
                                   size_t* valueNeeded);

/* Forgets the open file without writing it; 1 when one was open. */
SELVANE_VALUE_API int CloseXMLFile(const char16_t* fileName);

#ifdef __cplusplus
}
#endif

#endif

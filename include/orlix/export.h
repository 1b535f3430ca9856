/* Export control: the library is built with hidden visibility, and only the
   declarations marked ORLIX_API reach the dynamic symbol table. */
#ifndef ORLIX_EXPORT_H
#define ORLIX_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
#define ORLIX_API __attribute__((visibility("default")))
#else
#define ORLIX_API
#endif

#endif

/* The build options of expat for the Windows programs: those Debian 12 builds its libexpat1
   with (DTD and namespace support, 1024 bytes of context), so that both builds parse alike.
   Windows gives the hash salt its entropy through rand_s(). */
#ifndef EXPAT_CONFIG_H
#define EXPAT_CONFIG_H 1

#define BYTEORDER 1234
#define HAVE_STDINT_H 1
#define HAVE_STDLIB_H 1
#define HAVE_STRING_H 1
#define HAVE_MEMORY_H 1
#define HAVE_SYS_TYPES_H 1
#define HAVE_SYS_STAT_H 1
#define PACKAGE "expat"
#define PACKAGE_URL ""
#define PACKAGE_VERSION "2.5.0"
#define XML_CONTEXT_BYTES 1024
#define XML_DTD 1
#define XML_NS 1

#endif /* ndef EXPAT_CONFIG_H */

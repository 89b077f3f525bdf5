// The player's version record, placed in an allocated ELF note of the program file so
// that the About box can read it back from the file (see VersionInfo.h for the layout).
// Only the `orvane` executable links this file.

#ifndef ORVANE_VERSION_MAJOR
#define ORVANE_VERSION_MAJOR 1
#define ORVANE_VERSION_MINOR 0
#define ORVANE_VERSION_PATCH 0
#define ORVANE_VERSION_BUILD 22
#endif

#define ORVANE_STR2(x) #x
#define ORVANE_STR(x) ORVANE_STR2(x)
#define ORVANE_HIGH "((" ORVANE_STR(ORVANE_VERSION_MAJOR) " << 16) | " ORVANE_STR(ORVANE_VERSION_MINOR) ")"
#define ORVANE_LOW "((" ORVANE_STR(ORVANE_VERSION_PATCH) " << 16) | " ORVANE_STR(ORVANE_VERSION_BUILD) ")"

// String table: US English, code page 1252; key and value, each NUL-terminated.
__asm__(".pushsection .note.orvane.version,\"a\",@note\n"
        ".balign 4\n"
        ".long 7\n"
        ".long .Lorvane_version_end - .Lorvane_version_begin\n"
        ".long 1\n"
        ".asciz \"Orvane\"\n"
        ".balign 4\n"
        ".Lorvane_version_begin:\n"
        ".long 0xFEEF04BD\n"
        ".long 0x00010000\n"
        ".long " ORVANE_HIGH "\n"
        ".long " ORVANE_LOW "\n"
        ".long " ORVANE_HIGH "\n"
        ".long " ORVANE_LOW "\n"
        ".short 0x0409\n"
        ".short 1252\n"
        ".long 10\n"
        ".asciz \"CompanyName\"\n .asciz \"The Orvane developers\"\n"
        ".asciz \"FileDescription\"\n .asciz \"Orvane 1.0\"\n"
        ".asciz \"FileVersion\"\n .asciz \"" ORVANE_STR(ORVANE_VERSION_MAJOR) "." ORVANE_STR(
            ORVANE_VERSION_MINOR) "." ORVANE_STR(ORVANE_VERSION_PATCH) "." ORVANE_STR(ORVANE_VERSION_BUILD) "\"\n"
        ".asciz \"InternalName\"\n .asciz \"\"\n"
        ".asciz \"LegalCopyright\"\n .asciz \"Copyright (c) 2026 The Orvane developers\"\n"
        ".asciz \"LegalTrademarks\"\n .asciz \"\"\n"
        ".asciz \"OriginalFilename\"\n .asciz \"\"\n"
        ".asciz \"ProductName\"\n .asciz \"Orvane\"\n"
        ".asciz \"ProductVersion\"\n .asciz \"1.0\"\n"
        ".asciz \"Comments\"\n .asciz \"\"\n"
        ".Lorvane_version_end:\n"
        ".balign 4\n"
        ".popsection\n");

// The one place the disc's version and names are kept; every program's
// version information is made from it.
#pragma once

#define ZEPH_VERSION_MAJOR 1
#define ZEPH_VERSION_MINOR 0
#define ZEPH_VERSION_PATCH 0
#define ZEPH_VERSION_BUILD 0

#define ZEPH_STRINGIZE2(x) #x
#define ZEPH_STRINGIZE(x) ZEPH_STRINGIZE2(x)
#define ZEPH_VERSION_STRING                                                                 \
    ZEPH_STRINGIZE(ZEPH_VERSION_MAJOR) "." ZEPH_STRINGIZE(ZEPH_VERSION_MINOR) "."           \
        ZEPH_STRINGIZE(ZEPH_VERSION_PATCH) "." ZEPH_STRINGIZE(ZEPH_VERSION_BUILD)

#define ZEPH_COMPANY_NAME "Quillspire Interactive"
#define ZEPH_PRODUCT_NAME "Zephrane Demo"
#define ZEPH_COPYRIGHT "Copyright (C) Quillspire Interactive"

# OpenSSL 3.0 for authenticated time (NTS): TLS 1.3 with its keying-material
# exporter, and AES-SIV. Built once per architecture, static, from the Debian
# source tarball that scripts/setup fetched into build/openssl-src, into this
# build's openssl/ folder, and reused by every later build. Its licence (Apache
# 2.0) lies beside the libraries: openssl/LICENSE.txt.
file(GLOB tw_openssl_tarball ${PROJECT_SOURCE_DIR}/build/openssl-src/openssl_*.orig.tar.*)
list(FILTER tw_openssl_tarball EXCLUDE REGEX "\\.asc$")
if(NOT tw_openssl_tarball)
    message(FATAL_ERROR "OpenSSL's sources are missing from build/openssl-src: run scripts/setup")
endif()
list(GET tw_openssl_tarball 0 tw_openssl_tarball)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(tw_openssl_arch x64)
else()
    set(tw_openssl_arch x86)
endif()
set(TW_OPENSSL_DIR ${PROJECT_BINARY_DIR}/openssl)
set(tw_openssl_libs ${TW_OPENSSL_DIR}/lib/libssl.a ${TW_OPENSSL_DIR}/lib/libcrypto.a)
add_custom_command(
    OUTPUT ${tw_openssl_libs}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/lib/build-openssl ${tw_openssl_arch} ${tw_openssl_tarball}
            ${TW_OPENSSL_DIR}
    DEPENDS ${tw_openssl_tarball} ${PROJECT_SOURCE_DIR}/scripts/lib/build-openssl
    COMMENT "Building OpenSSL (${tw_openssl_arch}, static) into ${TW_OPENSSL_DIR}"
    VERBATIM)
add_custom_target(tw_openssl_build DEPENDS ${tw_openssl_libs})
# The include folder must exist when a target naming it is configured.
file(MAKE_DIRECTORY ${TW_OPENSSL_DIR}/include)

# libcrypto and what it calls on Windows; libssl on top of it.
add_library(tw_openssl_crypto INTERFACE)
target_include_directories(tw_openssl_crypto SYSTEM INTERFACE ${TW_OPENSSL_DIR}/include)
target_link_libraries(tw_openssl_crypto INTERFACE ${TW_OPENSSL_DIR}/lib/libcrypto.a ws2_32 crypt32
                                                  bcrypt advapi32 user32)
add_dependencies(tw_openssl_crypto tw_openssl_build)
add_library(tw_openssl_ssl INTERFACE)
target_link_libraries(tw_openssl_ssl INTERFACE ${TW_OPENSSL_DIR}/lib/libssl.a tw_openssl_crypto)
add_dependencies(tw_openssl_ssl tw_openssl_build)

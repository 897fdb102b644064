# The publisher's brand and signature of the Windows programs.
#
# Brand: the texts of updater.exe's version resource (the elevation prompt
# shows the file description), from these cache variables:
#   KV_PRODUCT_NAME, KV_FILE_DESCRIPTION, KV_COMPANY_NAME, KV_COPYRIGHT,
#   KV_FILE_VERSION (four numbers of 0 to 65535, as 1.2.3.4)
# Signature: with -DKV_SIGN_PKCS12=cert.p12 the build signs updater.exe and
# pak.exe (Authenticode, osslsigncode) once they are linked; the certificate's
# password is taken from the environment variable KV_SIGN_PASSWORD when the
# build runs, never from a command line. -DKV_SIGN_TIMESTAMP_URL=URL adds an
# RFC 3161 time stamp from that server.

set(KV_PRODUCT_NAME "Data Updater" CACHE STRING "Product name in updater.exe's version resource")
set(KV_FILE_DESCRIPTION "Data Updater" CACHE STRING
    "File description in updater.exe's version resource (the elevation prompt shows it)")
set(KV_COMPANY_NAME "" CACHE STRING "Company name in updater.exe's version resource")
set(KV_COPYRIGHT "" CACHE STRING "Copyright notice in updater.exe's version resource")
set(KV_FILE_VERSION "1.0.0.0" CACHE STRING "File and product version of updater.exe: four numbers, 1.2.3.4")
set(KV_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 certificate to sign the Windows programs with (optional)")
set(KV_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signature (optional)")

# kv_rc_string(OUT VALUE): VALUE as a resource script string literal.
function(kv_rc_string out value)
  string(REPLACE "\\" "\\\\" value "${value}")
  string(REPLACE "\"" "\"\"" value "${value}")
  string(REPLACE "\n" "\\n" value "${value}")
  set(${out} "\"${value}\"" PARENT_SCOPE)
endfunction()

# kv_version_header(FILE): writes the brand's texts as macros for the
# resource script.
function(kv_version_header file)
  if(NOT KV_FILE_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "KV_FILE_VERSION must be four numbers such as 1.2.3.4, not '${KV_FILE_VERSION}'")
  endif()
  foreach(part ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4})
    if(part GREATER 65535)
      message(FATAL_ERROR "KV_FILE_VERSION: each number is at most 65535, not ${part}")
    endif()
  endforeach()
  string(REPLACE "." "," KV_FILE_VERSION_COMMAS "${KV_FILE_VERSION}")
  foreach(v KV_PRODUCT_NAME KV_FILE_DESCRIPTION KV_COMPANY_NAME KV_COPYRIGHT KV_FILE_VERSION)
    kv_rc_string(${v}_RC "${${v}}")
  endforeach()
  file(CONFIGURE OUTPUT ${file} CONTENT [[
// Written by the build from the brand's cache variables; do not edit.
#define KV_PRODUCT_NAME @KV_PRODUCT_NAME_RC@
#define KV_FILE_DESCRIPTION @KV_FILE_DESCRIPTION_RC@
#define KV_COMPANY_NAME @KV_COMPANY_NAME_RC@
#define KV_COPYRIGHT @KV_COPYRIGHT_RC@
#define KV_FILE_VERSION @KV_FILE_VERSION_RC@
#define KV_FILE_VERSION_NUMBERS @KV_FILE_VERSION_COMMAS@
]] @ONLY)
endfunction()

# kv_sign(TARGET): signs the linked program when a certificate is given.
function(kv_sign target)
  if(NOT WIN32 OR NOT KV_SIGN_PKCS12)
    return()
  endif()
  if(NOT EXISTS "${KV_SIGN_PKCS12}")
    message(FATAL_ERROR "KV_SIGN_PKCS12: no such file: ${KV_SIGN_PKCS12}")
  endif()
  find_program(KV_OSSLSIGNCODE osslsigncode REQUIRED)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env KV_OSSLSIGNCODE=${KV_OSSLSIGNCODE}
            bash ${PROJECT_SOURCE_DIR}/cmake/sign.sh "${KV_SIGN_PKCS12}" "${KV_SIGN_TIMESTAMP_URL}"
            "${KV_PRODUCT_NAME}" $<TARGET_FILE:${target}>
    COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
    VERBATIM)
endfunction()

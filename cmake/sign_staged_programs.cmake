# Run by CPack before it packs: signs the staged programs (scripts/sign-windows.sh does
# nothing without a certificate), so that the zip and the installer carry signed ones.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_DIRECTORY}/*.exe" "${CPACK_TEMPORARY_DIRECTORY}/*.com")
if(programs)
  execute_process(COMMAND bash "${CPACK_MSRCONFIG_SIGN_SCRIPT}" ${programs} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "signing failed: ${result}")
  endif()
endif()

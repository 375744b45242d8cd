# Checks one finished Windows binary with objdump; run as a ctest test:
#   cmake -DOBJDUMP=<objdump> -DBINARY=<file> -DCHECK=<check> -P check_binary.cmake
#
# SYSTEM_IMPORTS  every imported DLL is a system DLL: the runtime, FFTW and the
#                 GCC support libraries must be linked in, not loaded beside it.
# NO_SSE          no SSE register or SSE-only instruction anywhere in the code.
# SSE1_ONLY       the code uses SSE but nothing later (SSE2 and up), so it runs
#                 on every processor that has SSE.
# EXPORTS=a,b     the export table names exactly these, undecorated.
# PLUGIN_IMPORTS  the plug-in DLL loads on Windows XP: it imports from exactly
#                 KERNEL32, USER32, COMDLG32 and msvcrt, and none of the
#                 functions that later Windows versions added to them.
cmake_minimum_required(VERSION 3.20)

foreach(var OBJDUMP BINARY CHECK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_binary.cmake needs -D${var}=...")
  endif()
endforeach()
if(NOT EXISTS "${BINARY}")
  message(FATAL_ERROR "${BINARY} does not exist")
endif()

function(run_objdump flag out_var)
  execute_process(COMMAND ${OBJDUMP} ${flag} ${BINARY}
    OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} ${flag} ${BINARY} failed: ${errors}")
  endif()
  set(${out_var} "${output}" PARENT_SCOPE)
endfunction()

# DLLs that every Windows system has; anything else would have to ship beside us.
set(system_dlls kernel32.dll user32.dll gdi32.dll comdlg32.dll comctl32.dll advapi32.dll
  shell32.dll ole32.dll oleaut32.dll version.dll winmm.dll msvcrt.dll)

if(CHECK STREQUAL "SYSTEM_IMPORTS")
  run_objdump(-p dump)
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
  if(NOT lines)
    message(FATAL_ERROR "${BINARY}: no import table found")
  endif()
  set(foreign "")
  foreach(line IN LISTS lines)
    string(REPLACE "DLL Name: " "" dll "${line}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" dll_lower)
    if(NOT dll_lower IN_LIST system_dlls)
      list(APPEND foreign ${dll})
    endif()
    list(APPEND imported ${dll})
  endforeach()
  list(REMOVE_DUPLICATES imported)
  message(STATUS "imports: ${imported}")
  if(foreign)
    message(FATAL_ERROR "${BINARY} imports non-system DLLs: ${foreign}")
  endif()

elseif(CHECK STREQUAL "PLUGIN_IMPORTS")
  # A player loads the plug-in with LoadLibrary: one import that the system's
  # DLL lacks and the load fails as a whole, on any version of Windows before
  # the one that added it. The plug-in targets Windows XP SP3.
  set(plugin_dlls comdlg32.dll kernel32.dll msvcrt.dll user32.dll)
  # Functions of these DLLs that Windows XP does not have (Vista and later,
  # Server 2003 for the fiber-local storage), by name ...
  set(post_xp_functions
    GetTickCount64 GetSystemTimePreciseAsFileTime
    InitializeCriticalSectionEx
    CreateEventExA CreateEventExW CreateMutexExA CreateMutexExW
    CreateSemaphoreExA CreateSemaphoreExW CreateWaitableTimerExA CreateWaitableTimerExW
    FlsAlloc FlsFree FlsGetValue FlsSetValue
    GetFileInformationByHandleEx SetFileInformationByHandle
    GetFinalPathNameByHandleA GetFinalPathNameByHandleW
    QueryFullProcessImageNameA QueryFullProcessImageNameW
    CreateSymbolicLinkA CreateSymbolicLinkW CancelIoEx GetQueuedCompletionStatusEx
    GetCurrentProcessorNumber GetThreadId GetErrorMode SetThreadErrorMode
    FlushProcessWriteBuffers
    LCMapStringEx CompareStringEx CompareStringOrdinal FindNLSStringEx
    GetLocaleInfoEx GetDateFormatEx GetTimeFormatEx GetNumberFormatEx GetCurrencyFormatEx
    GetCalendarInfoEx EnumSystemLocalesEx EnumCalendarInfoExEx EnumDateFormatsExEx
    EnumTimeFormatsEx GetUserDefaultLocaleName GetSystemDefaultLocaleName
    LocaleNameToLCID LCIDToLocaleName IsValidLocaleName ResolveLocaleName
    SetProcessDPIAware ChangeWindowMessageFilter ChangeWindowMessageFilterEx
    # msvcrt.dll of Windows XP has no 64-bit stream positions ...
    _fseeki64 _ftelli64)
  # ... and by family: slim reader/writer locks, condition variables, one-time
  # initialisation; in msvcrt the bounds-checked "_s" functions (fopen_s,
  # sprintf_s, strcpy_s, ...), which came to the system's msvcrt.dll with Vista.
  set(post_xp_kernel32_families "SRWLock" "ConditionVariable" "^InitOnce")
  set(post_xp_msvcrt_family "_s$")

  run_objdump(-p dump)
  string(FIND "${dump}" "The Import Tables" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "${BINARY}: no import table found")
  endif()
  string(SUBSTRING "${dump}" ${start} -1 table)
  # The table ends where objdump's next heading starts a line.
  string(REGEX REPLACE "\n[A-Z][^\n]*.*$" "" table "${table}")
  string(REGEX MATCHALL "[^\n]+" lines "${table}")

  set(dlls "")
  set(dll "")
  set(later "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^\tDLL Name: (.+)$")
      string(STRIP "${CMAKE_MATCH_1}" dll)
      string(TOLOWER "${dll}" dll_lower)
      list(APPEND dlls ${dll_lower})
      set(functions_${dll_lower} "")
    elseif(line MATCHES "^\t[0-9a-f]+\t +[0-9]+  (.+)$")
      string(STRIP "${CMAKE_MATCH_1}" name)
      list(APPEND functions_${dll_lower} ${name})
      set(post_xp FALSE)
      if(name STREQUAL "<none>")
        # By ordinal: nothing to tell which function it is.
        set(name "an ordinal")
        set(post_xp TRUE)
      elseif(name IN_LIST post_xp_functions)
        set(post_xp TRUE)
      elseif(dll_lower STREQUAL "kernel32.dll")
        foreach(family IN LISTS post_xp_kernel32_families)
          if(name MATCHES "${family}")
            set(post_xp TRUE)
          endif()
        endforeach()
      elseif(dll_lower STREQUAL "msvcrt.dll" AND name MATCHES "${post_xp_msvcrt_family}")
        set(post_xp TRUE)
      endif()
      if(post_xp)
        list(APPEND later "${dll}!${name}")
      endif()
    endif()
  endforeach()

  foreach(imported IN LISTS dlls)
    list(LENGTH functions_${imported} count)
    list(JOIN functions_${imported} " " names)
    message(STATUS "${imported} (${count}): ${names}")
  endforeach()
  list(SORT dlls)
  list(REMOVE_DUPLICATES dlls)
  if(NOT dlls STREQUAL plugin_dlls)
    message(FATAL_ERROR "${BINARY} imports from '${dlls}', expected exactly '${plugin_dlls}'")
  endif()
  if(later)
    message(FATAL_ERROR "${BINARY} imports what Windows XP lacks: ${later}")
  endif()

elseif(CHECK STREQUAL "NO_SSE")
  # Registers of SSE and later, MXCSR access, and the SSE-only cache and fence
  # instructions that name no register. The linker puts exception tables and
  # constructor lists into the code section too: that data, disassembled, can
  # look like anything, so it is left out. The disassembly is large: grep it.
  set(pattern "%[xyz]mm[0-9]|mxcsr|\\<(sfence|lfence|mfence|movnti|prefetchnta|prefetcht[012])\\>")
  set(code_only "/^[0-9a-f]+ <.*>:$/ { data = ($2 ~ /^<[.](gcc_except_table|ctors|dtors)/) } !data")
  execute_process(COMMAND ${OBJDUMP} -d ${BINARY}
    COMMAND awk "${code_only}"
    COMMAND grep -E "${pattern}"
    OUTPUT_VARIABLE hits RESULTS_VARIABLE results)
  list(GET results 0 objdump_result)
  list(GET results 1 awk_result)
  if(NOT objdump_result EQUAL 0 OR NOT awk_result EQUAL 0)
    message(FATAL_ERROR "disassembling ${BINARY} failed: ${results}")
  endif()
  if(NOT hits STREQUAL "")
    string(REGEX MATCHALL "\n" lines "${hits}")
    list(LENGTH lines count)
    string(SUBSTRING "${hits}" 0 1500 first)
    message(FATAL_ERROR "${BINARY}: ${count} SSE instructions:\n${first}")
  endif()
  message(STATUS "no SSE instruction in ${BINARY}")

elseif(CHECK STREQUAL "SSE1_ONLY")
  # Every instruction that names an xmm register must be one of SSE's own; the
  # fences and cache instructions that came with SSE2 name none.
  set(sse1 movups movaps movss movlps movhps movlhps movhlps movntps movmskps
    addss addps subss subps mulss mulps divss divps sqrtss sqrtps rsqrtss rsqrtps rcpss rcpps
    maxss maxps minss minps comiss ucomiss andps andnps orps xorps shufps unpcklps unpckhps
    cvtsi2ss cvtss2si cvttss2si cvtpi2ps cvtps2pi cvttps2pi)
  set(code_only "/^[0-9a-f]+ <.*>:$/ { data = ($2 ~ /^<[.](gcc_except_table|ctors|dtors)/) } !data")
  set(mnemonics "/%xmm[0-9]|\\<(lfence|mfence|clflush|movnti)\\>/ { split($3, word, \" \"); print word[1] }")
  execute_process(COMMAND ${OBJDUMP} -d ${BINARY}
    COMMAND awk "${code_only}"
    COMMAND awk -F "\t" "${mnemonics}"
    COMMAND sort -u
    OUTPUT_VARIABLE used RESULTS_VARIABLE results)
  list(GET results 0 objdump_result)
  if(NOT objdump_result EQUAL 0)
    message(FATAL_ERROR "disassembling ${BINARY} failed: ${results}")
  endif()
  string(REGEX MATCHALL "[^\n]+" used "${used}")
  set(later "")
  foreach(mnemonic IN LISTS used)
    # cmpeqps, cmpltss and the like are cmpps and cmpss with their predicate.
    if(NOT mnemonic IN_LIST sse1 AND NOT mnemonic MATCHES "^cmp[a-z]*(ps|ss)$")
      list(APPEND later ${mnemonic})
    endif()
  endforeach()
  message(STATUS "xmm instructions: ${used}")
  if(later)
    message(FATAL_ERROR "${BINARY} uses instructions beyond SSE: ${later}")
  endif()

elseif(CHECK MATCHES "^EXPORTS=(.*)$")
  string(REPLACE "," ";" expected "${CMAKE_MATCH_1}")
  run_objdump(-p dump)
  # The names follow "[Ordinal/Name Pointer] Table", one a line: "\t[   0] name".
  set(names "")
  string(FIND "${dump}" "[Ordinal/Name Pointer] Table" start)
  if(start GREATER -1)
    string(SUBSTRING "${dump}" ${start} -1 names)
    string(FIND "${names}" "\n\n" end)
    string(SUBSTRING "${names}" 0 ${end} names)
  endif()
  string(REGEX MATCHALL "\t\\[ *[0-9]+\\] [^\r\n]+" lines "${names}")
  set(exported "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^\t\\[ *[0-9]+\\] " "" name "${line}")
    string(STRIP "${name}" name)
    list(APPEND exported ${name})
  endforeach()
  list(SORT exported)
  list(SORT expected)
  message(STATUS "exports: ${exported}")
  if(NOT exported STREQUAL expected)
    message(FATAL_ERROR "${BINARY} exports '${exported}', expected '${expected}'")
  endif()

else()
  message(FATAL_ERROR "unknown check ${CHECK}")
endif()

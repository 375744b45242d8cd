#pragma once
// The texts in which the two editions differ. Sources that include this are
// compiled with code page 936 as their execution character set, so these are
// the bytes the host and the user see.
#if AMBRELITH_EDITION_SSE
inline constexpr char edition_description[] = "Ambrelith-浮点SSE版";
inline constexpr char edition_instruction_set[] = "浮点SSE指令";
#elif AMBRELITH_EDITION_STANDARD
inline constexpr char edition_description[] = "Ambrelith-浮点标准版";
inline constexpr char edition_instruction_set[] = "浮点指令";
#else
#error "the plug-in is built for one edition: AMBRELITH_EDITION_SSE or AMBRELITH_EDITION_STANDARD"
#endif

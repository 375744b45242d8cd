#pragma once
// The x87 precision control for a whole test run. Hosts built with Microsoft's
// runtime leave 53 bits set; MinGW programs start with 64 bits. A test run can
// ask for either through the environment variable AMBRELITH_X87_PRECISION
// ("53" or "64"), so that every case runs as it would inside such a host.

// Where the precision control exists (32-bit Windows), sets it to 24, 53 or 64
// bits and returns true; returns false for any other width or platform.
bool set_x87_precision_bits(int bits);

// The precision control in force: 24, 53 or 64, or 0 where there is none.
int x87_precision_bits();

// Applies AMBRELITH_X87_PRECISION when it is set. Returns false, with a message
// on stderr, when the value is not 53 or 64 or the platform cannot honour it.
bool apply_requested_x87_precision();

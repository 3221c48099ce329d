// numbers_read: how many numbers (plain or bracketed) the script streams have read, so a
// message can say how many arguments were found before one could not be read.
#pragma once

long numbers_read();
// One more number read by code that reads it without a stream (a loop's prepared block).
void count_number_read();

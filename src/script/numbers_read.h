// numbers_read: how many numbers (plain or bracketed) the script streams have read, so a
// message can say how many arguments were found before one could not be read.
#pragma once

long numbers_read();

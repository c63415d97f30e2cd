/* Included first in every 32-bit source of the portable build (see
   cmake/Portable.cmake): fcntl, as glibc 2.17 has it. */
__asm__(".symver fcntl64,fcntl@GLIBC_2.0");

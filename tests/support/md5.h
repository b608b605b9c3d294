/*
 * md5: the MD5 message digest (RFC 1321), to fingerprint frames and sample
 * streams. Plain C++, no library: it builds for the host and for the
 * handheld bench alike.
 */
#ifndef ORVEL_TESTS_SUPPORT_MD5_H
#define ORVEL_TESTS_SUPPORT_MD5_H

#include <cstddef>
#include <cstdint>
#include <string>

/* A digest in progress. */
struct Md5 {
    uint32_t h[4];      /* the chaining state */
    uint64_t bytes;     /* message length so far */
    uint8_t block[64];  /* the partial block, bytes % 64 of it in use */
};

/* Starts an empty message. */
void md5_init(Md5* m);

/* Appends n bytes. */
void md5_update(Md5* m, const void* data, size_t n);

/* Pads, finishes and returns the 32 lower-case hex digits; m is spent. */
std::string md5_hex(Md5* m);

/* The digest of one buffer, as hex. */
std::string md5_of(const void* data, size_t n);

#endif

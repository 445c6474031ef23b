#pragma once

#include <cstddef>
#include <cstdint>

// The RC4 generator: a permutation of the 256 byte values and two counters.
struct Rc4State {
    uint8_t permutation[256];
    uint8_t i = 0;
    uint8_t j = 0;
};

// Key schedule over `keyLength` bytes (at least 1); the counters start at 0.
void rc4Init(const uint8_t* key, size_t keyLength, Rc4State& state);

// Advances the generator one step: `byte` XOR the next keystream byte.
uint8_t rc4Crypt(Rc4State& state, uint8_t byte);

// Encrypts or decrypts `length` bytes in place (the cipher is its own inverse).
void rc4Crypt(Rc4State& state, uint8_t* data, size_t length);

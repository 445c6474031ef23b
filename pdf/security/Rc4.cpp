#include "pdf/security/Rc4.h"

#include <utility>

void rc4Init(const uint8_t* key, size_t keyLength, Rc4State& state) {
    for (int k = 0; k < 256; ++k) state.permutation[k] = static_cast<uint8_t>(k);
    uint8_t j = 0;
    for (size_t k = 0; k < 256; ++k) {
        j = static_cast<uint8_t>(j + state.permutation[k] + key[k % keyLength]);
        std::swap(state.permutation[k], state.permutation[j]);
    }
    state.i = 0;
    state.j = 0;
}

uint8_t rc4Crypt(Rc4State& state, uint8_t byte) {
    uint8_t* s = state.permutation;
    state.i = static_cast<uint8_t>(state.i + 1);
    state.j = static_cast<uint8_t>(state.j + s[state.i]);
    std::swap(s[state.i], s[state.j]);
    return byte ^ s[static_cast<uint8_t>(s[state.i] + s[state.j])];
}

void rc4Crypt(Rc4State& state, uint8_t* data, size_t length) {
    for (size_t k = 0; k < length; ++k) data[k] = rc4Crypt(state, data[k]);
}

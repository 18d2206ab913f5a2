#include "crashguard/instruction_length_table.h"

namespace crashguard {

namespace {

constexpr uint16_t _ = 0;
constexpr uint16_t M = kHasModRM;
constexpr uint16_t B = kImmediate8;
constexpr uint16_t W = kImmediate16;
constexpr uint16_t Z = kOperandSized;
constexpr uint16_t J = kRelative8;
constexpr uint16_t R = kRelativeSized;
constexpr uint16_t O = kAddressSized;
constexpr uint16_t G = kByGroup;
constexpr uint16_t X = kUnknown;
constexpr uint16_t MB = M | B;
constexpr uint16_t MZ = M | Z;
constexpr uint16_t WB = W | B;   // enter iw, ib
constexpr uint16_t ZW = Z | W;   // far pointer: offset, then selector

// Prefixes and escapes are taken before a map is looked at; they read X here.
constexpr uint16_t kOneByte[256] = {
    //  1   2   3   4   5   6   7   8   9   A   B   C   D   E   F
    M,  M,  M,  M,  B,  Z,  _,  _,  M,  M,  M,  M,  B,  Z,  _,  X,   // 0x
    M,  M,  M,  M,  B,  Z,  _,  _,  M,  M,  M,  M,  B,  Z,  _,  _,   // 1x
    M,  M,  M,  M,  B,  Z,  X,  _,  M,  M,  M,  M,  B,  Z,  X,  _,   // 2x
    M,  M,  M,  M,  B,  Z,  X,  _,  M,  M,  M,  M,  B,  Z,  X,  _,   // 3x
    _,  _,  _,  _,  _,  _,  _,  _,  _,  _,  _,  _,  _,  _,  _,  _,   // 4x
    _,  _,  _,  _,  _,  _,  _,  _,  _,  _,  _,  _,  _,  _,  _,  _,   // 5x
    _,  _,  G,  M,  X,  X,  X,  X,  Z,  MZ, B,  MB, _,  _,  _,  _,   // 6x: 62 bound or EVEX
    J,  J,  J,  J,  J,  J,  J,  J,  J,  J,  J,  J,  J,  J,  J,  J,   // 7x
    MB, MZ, MB, MB, M,  M,  M,  M,  M,  M,  M,  M,  M,  G,  M,  G,   // 8x: 8D lea, 8F pop or XOP
    _,  _,  _,  _,  _,  _,  _,  _,  _,  _,  ZW, _,  _,  _,  _,  _,   // 9x
    O,  O,  O,  O,  _,  _,  _,  _,  B,  Z,  _,  _,  _,  _,  _,  _,   // Ax
    B,  B,  B,  B,  B,  B,  B,  B,  Z,  Z,  Z,  Z,  Z,  Z,  Z,  Z,   // Bx
    MB, MB, W,  _,  G,  G,  G,  G,  WB, _,  W,  _,  _,  B,  _,  _,   // Cx: C4/C5 les/lds, or VEX
    M,  M,  M,  M,  B,  B,  _,  _,  M,  M,  M,  M,  M,  M,  M,  M,   // Dx
    J,  J,  J,  J,  B,  B,  B,  B,  R,  R,  ZW, J,  _,  _,  _,  _,   // Ex
    X,  _,  X,  X,  _,  _,  G,  G,  _,  _,  _,  _,  _,  _,  G,  G,   // Fx
};

constexpr uint16_t k0F[256] = {
    //  1   2   3   4   5   6   7   8   9   A   B   C   D   E   F
    M,  M,  M,  M,  X,  _,  _,  _,  _,  _,  X,  _,  X,  M,  X,  X,   // 0x: 0E/0F 3DNow!, gone from processors
    M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,   // 1x: 18-1F hints and nops
    G,  G,  G,  G,  X,  X,  X,  X,  M,  M,  M,  M,  M,  M,  M,  M,   // 2x: 20-23 control and debug registers
    _,  _,  _,  _,  _,  _,  X,  _,  X,  X,  X,  X,  X,  X,  X,  X,   // 3x
    M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,   // 4x
    M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,   // 5x
    M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,   // 6x
    MB, MB, MB, MB, M,  M,  M,  _,  G,  M,  X,  X,  M,  M,  M,  M,   // 7x: 78 vmread or extrq/insertq
    R,  R,  R,  R,  R,  R,  R,  R,  R,  R,  R,  R,  R,  R,  R,  R,   // 8x
    M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,   // 9x
    _,  _,  _,  M,  MB, M,  X,  X,  _,  _,  _,  M,  MB, M,  M,  M,   // Ax
    M,  M,  M,  M,  M,  M,  M,  M,  G,  M,  MB, M,  M,  M,  M,  M,   // Bx: B8 popcnt only under F3
    M,  M,  MB, M,  MB, MB, MB, M,  _,  _,  _,  _,  _,  _,  _,  _,   // Cx
    M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,   // Dx
    M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,   // Ex
    M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,   // Fx
};

constexpr uint16_t k0F38[256] = {
    //  1   2   3   4   5   6   7   8   9   A   B   C   D   E   F
    M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  M,  X,  X,  X,  X,   // 0x
    M,  X,  X,  X,  M,  M,  X,  M,  X,  X,  X,  X,  M,  M,  M,  X,   // 1x
    M,  M,  M,  M,  M,  M,  X,  X,  M,  M,  M,  M,  X,  X,  X,  X,   // 2x
    M,  M,  M,  M,  M,  M,  X,  M,  M,  M,  M,  M,  M,  M,  M,  M,   // 3x
    M,  M,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // 4x
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // 5x
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // 6x
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // 7x
    M,  M,  M,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // 8x
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // 9x
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // Ax
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // Bx
    X,  X,  X,  X,  X,  X,  X,  X,  M,  M,  M,  M,  M,  M,  X,  M,   // Cx
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  M,  M,  M,  M,  M,   // Dx
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // Ex
    M,  M,  X,  X,  X,  M,  M,  X,  M,  M,  X,  X,  X,  X,  X,  X,   // Fx
};

constexpr uint16_t k0F3A[256] = {
    //  1   2   3   4   5   6   7   8   9   A   B   C   D   E   F
    X,  X,  X,  X,  X,  X,  X,  X,  MB, MB, MB, MB, MB, MB, MB, MB,  // 0x
    X,  X,  X,  X,  MB, MB, MB, MB, X,  X,  X,  X,  X,  X,  X,  X,   // 1x
    MB, MB, MB, X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // 2x
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // 3x
    MB, MB, MB, X,  MB, X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // 4x
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // 5x
    MB, MB, MB, MB, X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // 6x
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // 7x
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // 8x
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // 9x
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // Ax
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // Bx
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  MB, X,  MB, MB,  // Cx
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  MB,  // Dx
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // Ex
    X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   // Fx
};

// Which mandatory prefix (none, 66, F3, F2: bits 0-3 for memory operands,
// 4-7 for register operands) each opcode of the escaped maps is defined
// with; other combinations are invalid or reserved, and refused.
constexpr uint8_t kPrefixForms[3][256] = {
{
    // 0F
    0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x55, 0x00, 0xFF, 0x00, 0x0F, 0xFF, 0xFF,  // 0x
    0xFF, 0xFF, 0xDF, 0x03, 0x33, 0x33, 0x57, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // 1x
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0x00, 0x33, 0x33, 0xFF, 0x0F, 0xFF, 0xFF, 0x33, 0x33,  // 2x
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 3x
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // 4x
    0x30, 0xFF, 0x55, 0x55, 0x33, 0x33, 0x33, 0x33, 0xFF, 0xFF, 0xFF, 0x77, 0xFF, 0xFF, 0xFF, 0xFF,  // 5x
    0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x22, 0x22, 0x33, 0x77,  // 6x
    0xFF, 0x30, 0x30, 0x30, 0x33, 0x33, 0x33, 0x11, 0xB1, 0xB1, 0x00, 0x00, 0xAA, 0xAA, 0x77, 0x77,  // 7x
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // 8x
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // 9x
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // Ax
    0xFF, 0xFF, 0x0F, 0xFF, 0x0F, 0x0F, 0xFF, 0xFF, 0x44, 0xFF, 0xFF, 0xFF, 0x77, 0x77, 0xFF, 0xFF,  // Bx
    0xFF, 0xFF, 0xFF, 0x01, 0x33, 0x30, 0x33, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // Cx
    0xAA, 0x33, 0x33, 0x33, 0x33, 0x33, 0xE2, 0xF0, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33,  // Dx
    0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0xEE, 0x03, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33,  // Ex
    0x08, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0xFF,  // Fx
}, {
    // 0F 38
    0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x00, 0x00, 0x00, 0x00,  // 0x
    0x22, 0x00, 0x00, 0x00, 0x22, 0x22, 0x00, 0x22, 0x00, 0x00, 0x00, 0x00, 0x33, 0x33, 0x33, 0x00,  // 1x
    0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x00, 0x00, 0x22, 0x22, 0x02, 0x22, 0x00, 0x00, 0x00, 0x00,  // 2x
    0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x00, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22,  // 3x
    0x22, 0x22, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 4x
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 5x
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 6x
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 7x
    0x02, 0x02, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 8x
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 9x
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // Ax
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // Bx
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x00, 0x22,  // Cx
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x22, 0x66, 0x26, 0x26, 0x26,  // Dx
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // Ex
    0x8B, 0x8B, 0x00, 0x00, 0x00, 0x02, 0x67, 0x00, 0x0E, 0x01, 0x40, 0x40, 0x0F, 0x00, 0x00, 0x00,  // Fx
}, {
    // 0F 3A
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x33,  // 0x
    0x00, 0x00, 0x00, 0x00, 0x22, 0x22, 0x22, 0x22, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 1x
    0x22, 0x22, 0x22, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 2x
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 3x
    0x22, 0x22, 0x22, 0x00, 0x22, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 4x
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 5x
    0x22, 0x22, 0x22, 0x22, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 6x
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 7x
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 8x
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 9x
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // Ax
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // Bx
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x00, 0x22, 0x22,  // Cx
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x22,  // Dx
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // Ex
    0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // Fx
}};

// Opcodes whose ModRM reg field picks among forms: the reg values defined,
// one bit each, for memory operands under none, 66, F3, F2, then register operands.
struct RegForms {
  OpcodeMap map;
  uint8_t opcode;
  uint8_t regs[8];
};
constexpr RegForms kRegForms[] = {
{OpcodeMap::Escape0F, 0x00, {0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F}},
    {OpcodeMap::Escape0F, 0x01, {0xDF, 0xDF, 0xFF, 0xDF, 0x00, 0x00, 0x00, 0x00}},  // register forms: by rm too
    {OpcodeMap::Escape0F, 0x1A, {0x0F, 0x0F, 0x0F, 0x0F, 0xFF, 0x0F, 0x0F, 0x0F}},
    {OpcodeMap::Escape0F, 0x1B, {0x0F, 0x0F, 0x0F, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F}},
    {OpcodeMap::Escape0F, 0x71, {0x00, 0x00, 0x00, 0x00, 0x54, 0x54, 0x00, 0x00}},
    {OpcodeMap::Escape0F, 0x72, {0x00, 0x00, 0x00, 0x00, 0x54, 0x54, 0x00, 0x00}},
    {OpcodeMap::Escape0F, 0x73, {0x00, 0x00, 0x00, 0x00, 0x44, 0xCC, 0x00, 0x00}},
    {OpcodeMap::Escape0F, 0xA6, {0x00, 0x00, 0x00, 0x00, 0x07, 0x07, 0x07, 0x07}},
    {OpcodeMap::Escape0F, 0xA7, {0x00, 0x00, 0x00, 0x00, 0x3F, 0x3F, 0x3F, 0x3F}},
    {OpcodeMap::Escape0F, 0xAE, {0xFF, 0xCF, 0x5F, 0x0F, 0xE0, 0xC0, 0xFF, 0xC0}},
    {OpcodeMap::Escape0F, 0xBA, {0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0}},
    {OpcodeMap::Escape0F, 0xC7, {0xFA, 0xFA, 0xFA, 0xBA, 0xC0, 0xC0, 0x80, 0x00}},
    {OpcodeMap::Escape0F38, 0xD8, {0x00, 0x00, 0x0F, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {OpcodeMap::Escape0F3A, 0xF0, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00}},
};

// The prefix that selects among an escaped opcode's forms: the last F2/F3, else 66.
int MandatoryPrefixColumn(bool operandSize16, uint8_t repeat) {
  if (repeat == 0xF3) return 2;
  if (repeat == 0xF2) return 3;
  return operandSize16 ? 1 : 0;
}

bool IsDefinedForm(OpcodeMap map, uint8_t opcode, int column, uint8_t modrm) {
  const bool registerForm = modrm >= 0xC0;
  const int index = (registerForm ? 4 : 0) + column;
  for (const RegForms& forms : kRegForms)
    if (forms.map == map && forms.opcode == opcode) return (forms.regs[index] >> ((modrm >> 3) & 7)) & 1;
  return (kPrefixForms[static_cast<int>(map) - 1][opcode] >> index) & 1;
}

// Reads the bytes of one instruction, never past `available`.
class ByteCursor {
 public:
  ByteCursor(const uint8_t* bytes, int32_t available) : bytes_(bytes), available_(available) {}
  bool Has(int32_t count) const { return at_ + count <= available_ && at_ + count <= kLongestInstruction; }
  uint8_t Peek(int32_t ahead = 0) const { return bytes_[at_ + ahead]; }
  void Skip(int32_t count) { at_ += count; }
  int32_t At() const { return at_; }
  // The instruction's bytes ran past what could be read (rather than past the processor's limit).
  bool PastAvailable(int32_t count) const { return at_ + count > available_ && at_ + count <= kLongestInstruction; }

 private:
  const uint8_t* bytes_;
  int32_t available_;
  int32_t at_ = 0;
};

bool IsPrefix(uint8_t byte) {
  switch (byte) {
    case 0xF0: case 0xF2: case 0xF3:
    case 0x26: case 0x2E: case 0x36: case 0x3E: case 0x64: case 0x65:
    case 0x66: case 0x67:
      return true;
    default:
      return false;
  }
}

// Bytes of the ModRM byte, an optional SIB byte and the displacement; 0 when
// the SIB byte cannot be read.
int32_t ModRMLength(const ByteCursor& cursor, bool addressSize16) {
  const uint8_t modrm = cursor.Peek();
  const int mod = modrm >> 6;
  const int rm = modrm & 7;
  if (mod == 3) return 1;
  if (addressSize16) {
    if (mod == 0) return rm == 6 ? 3 : 1;
    return mod == 1 ? 2 : 3;
  }
  int32_t length = 1 + (mod == 1 ? 1 : mod == 2 ? 4 : 0);
  if (rm == 4) {
    if (!cursor.Has(2)) return 0;
    ++length;
    if (mod == 0 && (cursor.Peek(1) & 7) == 5) length += 4;
  } else if (mod == 0 && rm == 5) {
    length += 4;
  }
  return length;
}

}  // namespace

uint16_t OpcodeFlags(OpcodeMap map, uint8_t opcode) {
  switch (map) {
    case OpcodeMap::OneByte: return kOneByte[opcode];
    case OpcodeMap::Escape0F: return k0F[opcode];
    case OpcodeMap::Escape0F38: return k0F38[opcode];
    case OpcodeMap::Escape0F3A: return k0F3A[opcode];
  }
  return kUnknown;
}

InstructionShape MeasureInstruction(const uint8_t* bytes, int32_t available) {
  InstructionShape shape;
  ByteCursor cursor(bytes, available);
  // Every answer but a length goes through here: unknown, or cut short by the readable bytes.
  const auto fail = [&](int32_t needed) {
    shape.cutShort = cursor.PastAvailable(needed);
    shape.length = 0;
    return shape;
  };

  bool addressSize16 = false;
  uint8_t repeat = 0;
  for (;;) {
    if (!cursor.Has(1)) return fail(1);
    const uint8_t byte = cursor.Peek();
    if (!IsPrefix(byte)) break;
    if (byte == 0x66) shape.operandSize16 = true;
    if (byte == 0x67) addressSize16 = true;
    if (byte == 0xF2 || byte == 0xF3) repeat = byte;
    cursor.Skip(1);
  }

  uint8_t opcode = cursor.Peek();
  OpcodeMap map = OpcodeMap::OneByte;
  if (opcode == 0x0F) {
    if (!cursor.Has(2)) return fail(2);
    map = OpcodeMap::Escape0F;
    if (cursor.Peek(1) == 0x38 || cursor.Peek(1) == 0x3A) {
      if (!cursor.Has(3)) return fail(3);
      map = cursor.Peek(1) == 0x38 ? OpcodeMap::Escape0F38 : OpcodeMap::Escape0F3A;
      cursor.Skip(1);
    }
    cursor.Skip(1);
  }
  shape.opcodeOffset = cursor.At();
  opcode = cursor.Peek();
  shape.opcode = opcode;
  shape.map = map;
  cursor.Skip(1);

  uint16_t flags = OpcodeFlags(map, opcode);
  if (flags & kUnknown) return fail(0);

  if (flags & (kHasModRM | kByGroup)) {
    if (!cursor.Has(1)) return fail(1);
    const uint8_t modrm = cursor.Peek();
    const int reg = (modrm >> 3) & 7;
    const bool registerForm = modrm >= 0xC0;
    shape.reg = static_cast<uint8_t>(reg);
    if (flags & kByGroup) {
      flags = M;
      if (map == OpcodeMap::OneByte) {
        switch (opcode) {
          case 0x62: if (registerForm) return fail(0); break;  // EVEX
          case 0x8F: if (reg != 0) return fail(0); break;      // XOP
          case 0x8D: case 0xC4: case 0xC5:  // lea, les, lds; the register forms of les/lds are VEX, not taken
            if (registerForm) return fail(0);
            break;
          case 0xC6:
            if (modrm == 0xF8) flags = MB;                     // xabort ib
            else if (reg == 0) flags = MB;
            else return fail(0);
            break;
          case 0xC7:
            if (modrm == 0xF8) flags = M | R;                  // xbegin rel
            else if (reg == 0) flags = MZ;
            else return fail(0);
            break;
          case 0xF6: if (reg <= 1) flags = MB; break;          // test r/m8, ib
          case 0xF7: if (reg <= 1) flags = MZ; break;          // test r/m, iz
          case 0xFE: if (reg > 1) return fail(0); break;
          case 0xFF:  // far calls and jumps take memory only
            if (reg == 7 || (registerForm && (reg == 3 || reg == 5))) return fail(0);
            break;
        }
      } else {
        switch (opcode) {
          case 0x20: case 0x21: case 0x22: case 0x23:
            // Moves to and from control and debug registers ignore mod: always a register.
            cursor.Skip(1);
            shape.length = cursor.At();
            return shape;
          case 0x78:
            if (shape.operandSize16 || repeat == 0xF2) flags = M | W;  // extrq/insertq ib, ib
            break;
          case 0xB8:
            if (repeat != 0xF3) return fail(0);                // jmpe without F3
            break;
        }
      }
    }
    if (map != OpcodeMap::OneByte &&
        !IsDefinedForm(map, opcode, MandatoryPrefixColumn(shape.operandSize16, repeat), modrm))
      return fail(0);
    // The bound-register forms take no 16-bit addressing.
    if (map == OpcodeMap::Escape0F && (opcode == 0x1A || opcode == 0x1B) && addressSize16) return fail(0);
    const int32_t modrmLength = ModRMLength(cursor, addressSize16);
    if (modrmLength == 0 || !cursor.Has(modrmLength)) return fail(modrmLength == 0 ? 2 : modrmLength);
    cursor.Skip(modrmLength);
  }

  const int32_t operandBytes = shape.operandSize16 ? 2 : 4;
  int32_t immediate = 0;
  if (flags & kOperandSized) immediate += operandBytes;
  if (flags & kAddressSized) immediate += addressSize16 ? 2 : 4;
  if (flags & kImmediate16) immediate += 2;
  if (flags & kImmediate8) immediate += 1;
  if (flags & (kRelative8 | kRelativeSized)) {
    shape.relativeOffset = cursor.At() + immediate;
    shape.relativeSize = (flags & kRelative8) ? 1 : operandBytes;
    immediate += shape.relativeSize;
  }
  if (!cursor.Has(immediate)) return fail(immediate);
  cursor.Skip(immediate);
  shape.length = cursor.At();
  return shape;
}

}  // namespace crashguard

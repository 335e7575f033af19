/* How the virtual camera marks each frame with its camera and frame number: the frame is
 * cut into a grid of 8 by 4 large cells, each plainly dark or light, so the marks survive
 * JPEG at any quality and any frame size a camera is asked for. Cells, left to right and
 * top to bottom: 0 light and 1 dark (a reference), 2-5 the camera number (0 to 15), 6-21
 * the frame number (from 1, 16 bits), 22-29 a check byte, 30 dark and 31 light. Bits are
 * most significant first; light is 1. C and C++ both read this header. */
#ifndef VCAM_FRAME_CODE_H
#define VCAM_FRAME_CODE_H

#define VCAM_COLUMNS 8
#define VCAM_ROWS 4
#define VCAM_DARK 24
#define VCAM_LIGHT 232

static inline unsigned vcam_check_byte(unsigned camera, unsigned frame) {
  return (camera * 37u + (frame & 0xffu) * 11u + (frame >> 8) * 5u + 0x5au) & 0xffu;
}

/* Whether cell `cell` (0 to 31) is light in the given frame. */
static inline int vcam_cell_is_light(unsigned camera, unsigned frame, int cell) {
  if (cell == 0 || cell == 31) return 1;
  if (cell == 1 || cell == 30) return 0;
  if (cell < 6) return (camera >> (5 - cell)) & 1u;
  if (cell < 22) return (frame >> (21 - cell)) & 1u;
  return (vcam_check_byte(camera, frame) >> (29 - cell)) & 1u;
}

/* The cell that pixel (x, y) of a width by height frame lies in. */
static inline int vcam_cell_at(int x, int y, int width, int height) {
  return (y * VCAM_ROWS / height) * VCAM_COLUMNS + x * VCAM_COLUMNS / width;
}

#endif

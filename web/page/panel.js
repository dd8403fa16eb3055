// The front panel as the desktop draws it: the display with its bevel, the eight digits segment by
// segment, the tape indicator, and the keypad's buttons with their legends, all placed in the units of
// the board's panel geometry and scaled to the window.
const HORIZONTAL = 0;
const VERTICAL = 1;

export class Panel {
  constructor(board, root, onKey) {
    this.board = board;
    this.colours = board.colours();
    this.g = board.geometry;
    this.scale = 0;
    this.painted = null;
    this.root = root;
    this.canvas = root.querySelector('canvas');
    this.context = this.canvas.getContext('2d');
    this.keypad = root.querySelector('.keypad');
    this.buttons = board.keys.map((key) => {
      const legend = document.createElement('span');
      legend.className = 'legend';
      legend.textContent = key.legend;
      legend.setAttribute('aria-hidden', 'true');
      const button = document.createElement('button');
      button.className = 'key';
      button.type = 'button';
      button.setAttribute('aria-label', key.legend === 'rst' ? 'Key rst (reset)' : `Key ${key.legend}`);
      button.addEventListener('click', (event) => onKey(key.id, event));
      this.keypad.append(legend, button);
      return { key, button, legend };
    });
  }

  // The largest whole scale at which the panel (and what stands around it) fits the window, or the
  // scale the user chose with + and -.
  layout(width, height) {
    const fitting = Math.min(Math.floor(width / this.g.panelWidth), Math.floor(height / this.g.keypadHeight));
    const s = Math.max(2, this.chosenScale ?? fitting);
    if (s === this.scale) return;
    this.scale = s;
    this.root.style.width = `${this.g.panelWidth * s}px`;
    this.canvas.width = this.g.panelWidth * s;
    this.canvas.height = this.g.displayHeight * s;
    this.keypad.style.height = `${(this.g.keypadHeight - this.g.displayHeight) * s}px`;
    this.keypad.style.fontSize = `${Math.round(4 * s)}px`;
    const top = this.g.displayHeight * s;
    for (const { key, button, legend } of this.buttons) {
      Object.assign(button.style, {
        left: `${key.x * s}px`, top: `${key.y * s - top}px`,
        width: `${this.g.keyWidth * s}px`, height: `${this.g.keyHeight * s}px`,
      });
      // Centred over its button, the bottom of the text on the anchor.
      Object.assign(legend.style, {
        left: `${key.x * s}px`, width: `${this.g.keyWidth * s}px`,
        top: `${(key.y - 1) * s + 1 - 5 * s - top}px`, height: `${5 * s}px`, lineHeight: `${5 * s}px`,
      });
    }
    this.painted = null;
  }

  fill(colour, left, top, right, bottom) {
    if (right <= left || bottom <= top) return;
    this.context.fillStyle = this.colours[colour];
    this.context.fillRect(left, top, right - left, bottom - top);
  }

  frame(colour, left, top, right, bottom) {
    this.fill(colour, left, top, right, top + 1);
    this.fill(colour, left, bottom - 1, right, bottom);
    this.fill(colour, left, top + 1, left + 1, bottom - 1);
    this.fill(colour, right - 1, top + 1, right, bottom - 1);
  }

  // A line from one point towards another, the end point left out: horizontal, vertical or diagonal.
  line(colour, x, y, toX, toY) {
    const dx = Math.sign(toX - x), dy = Math.sign(toY - y);
    if (dy === 0) this.fill(colour, dx > 0 ? x : toX + 1, y, dx > 0 ? toX : x + 1, y + 1);
    else if (dx === 0) this.fill(colour, x, dy > 0 ? y : toY + 1, x + 1, dy > 0 ? toY : y + 1);
    else for (let px = x, py = y; px !== toX && py !== toY; px += dx, py += dy) this.fill(colour, px, py, px + 1, py + 1);
  }

  background(tapeLight) {
    const s = this.scale, r = this.g.panelWidth * s, b = this.g.displayHeight * s;
    this.fill('panel', 0, 0, r, b);
    this.frame('frame', 0, 0, r, b);
    // Sunk into the front panel: dark along the top and left inner edges, light along the others.
    this.line('dark', 1, b - 2, 1, 1); this.line('dark', 1, 1, r - 1, 1);
    this.line('dark', 2, b - 3, 2, 2); this.line('dark', 2, 2, r - 2, 2);
    this.line('white', 2, b - 2, r - 2, b - 2); this.line('white', r - 2, b - 2, r - 2, 1);
    this.line('white', 3, b - 3, r - 3, b - 3); this.line('white', r - 3, b - 3, r - 3, 2);
    if (tapeLight) this.tapeIndicator(tapeLight);
  }

  tapeIndicator(light) {
    const s = this.scale, left = 5, top = 5, right = 5 + 3 * s, bottom = 5 + 3 * s;
    this.fill(['', 'playIdle', 'playActive', 'recordIdle', 'recordActive'][light], left, top, right, bottom);
    this.frame('black', left, top, right, bottom);
    if (s <= 2) return;
    const v = Math.floor((s + 1) / 2);
    this.line('black', left, top, left + v, top + v);
    this.line('black', right - 1, top, right - 1 - v, top + v);
    this.line('black', left, bottom - 1, left + v, bottom - 1 - v);
    this.line('black', right - 1, bottom - 1, right - 1 - v, bottom - 1 - v);
    this.frame('black', left + v, top + v, right - v, bottom - v);
  }

  segment(shape, left, top, right, bottom, body, highlight) {
    const s = this.scale;
    if (s <= 2) return this.fill(body, left, top, right, bottom);
    // Two overlapping fills leave the four corner pixels out.
    this.fill(body, left + 1, top, right - 1, bottom);
    this.fill(body, left, top + 1, right, bottom - 1);
    const inset = Math.floor((s + 1) / 3), thick = Math.floor(s / 3);
    if (shape === VERTICAL) this.fill(highlight, left + inset, top + s, left + inset + thick, bottom - s);
    else if (shape === HORIZONTAL) this.fill(highlight, left + s, top + inset, right - s, top + inset + thick);
    else this.fill(highlight, left + inset, top + inset, left + inset + thick, top + inset + thick);
  }

  digit(position, pattern) {
    const s = this.scale, x = this.g.digitLeft[position];
    // Unlit first, so lit segments cover their dark neighbours at the joints.
    for (const lit of [false, true]) {
      for (let bit = 7; bit >= 0; --bit) {
        if (((pattern >> bit) & 1) !== (lit ? 1 : 0)) continue;
        const box = this.g.segments[bit];
        this.segment(box.shape, (x + box.left) * s, box.top * s, (x + box.right) * s, box.bottom * s,
          lit ? 'segment' : 'black', lit ? 'highlight' : 'black');
      }
    }
  }

  // True when the panel already shows these.
  shows(digits, tapeLight) {
    return !!this.painted && this.painted.tapeLight === tapeLight &&
      digits.every((pattern, position) => this.painted.digits[position] === pattern);
  }

  // Draws what changed since the last call; true when anything was drawn.
  paint(digits, tapeLight) {
    const whole = !this.painted || this.painted.tapeLight !== tapeLight;
    if (whole) {
      this.background(tapeLight);
      this.painted = { digits: new Array(8).fill(-1), tapeLight };
    }
    let drawn = whole;
    digits.forEach((pattern, position) => {
      if (this.painted.digits[position] === pattern) return;
      this.digit(position, pattern);
      this.painted.digits[position] = pattern;
      drawn = true;
    });
    return drawn;
  }
}

// Paces the board at 1 MHz from the page's clock. Cycles owed follow the time since the start exactly,
// less what the board already ran (a slice may run a few cycles past what it was given, and those count).
// After a hidden tab or a stall at most MAX_CATCH_UP_MS of the board's time is run at once; the rest is
// let go, so the page never freezes catching up.
export const CYCLES_PER_MS = 1000;
export const MAX_CATCH_UP_MS = 100;

export class Pacer {
  constructor(now) {
    this.restart(now);
  }

  restart(now) {
    this.base = now;
    this.ran = 0;
    this.dropped = 0;
  }

  // Cycles to run now, at most MAX_CATCH_UP_MS of them.
  owed(now) {
    const due = Math.floor((now - this.base) * CYCLES_PER_MS) - this.ran;
    const bound = MAX_CATCH_UP_MS * CYCLES_PER_MS;
    if (due <= bound) return Math.max(due, 0);
    // The time beyond the bound is forgiven: the clock's origin moves up by it.
    this.base += (due - bound) / CYCLES_PER_MS;
    this.dropped += due - bound;
    return bound;
  }

  // The board ran these cycles.
  paid(cycles) {
    this.ran += cycles;
  }
}

// The page's pacer: the cycles it owes follow the clock exactly, overruns included, and a long gap
// (a hidden tab, a stall) is caught up by at most MAX_CATCH_UP_MS of the board's time.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';

// The page's module as the page has it (its folder is no node package).
const source = readFileSync(new URL('../../web/page/pacer.js', import.meta.url), 'utf8');
const { Pacer, MAX_CATCH_UP_MS } = await import('data:text/javascript,' + encodeURIComponent(source));
const bound = MAX_CATCH_UP_MS * 1000;

// Each step: the clock (ms since the start), the cycles owed then, and what the board ran of them.
const cases = [
  { name: 'frames at 60 Hz', steps: [[16.5, 16500, 16500], [33, 16500, 16500], [50, 17000, 17000]] },
  { name: 'a slice that ran over owes less next time', steps: [[10, 10000, 10007], [20, 9993, 9993]] },
  { name: 'a clock that stands still owes nothing', steps: [[10, 10000, 10000], [10, 0, 0]] },
  { name: 'a fraction of a cycle waits', steps: [[0.0004, 0, 0], [0.0015, 1, 1]] },
  { name: 'a hidden tab catches up by the bound only', steps: [[5000, bound, bound], [5010, 10000, 10000]] },
  { name: 'a stall while running is bounded too', steps: [[10, 10000, 10000], [910, bound, bound], [920, 10000, 10000]] },
];

for (const c of cases) {
  test(c.name, () => {
    const pacer = new Pacer(1000);
    for (const [at, owed, ran] of c.steps) {
      assert.equal(pacer.owed(1000 + at), owed, `owed at ${at} ms`);
      pacer.paid(ran);
    }
  });
}

// The web edition's figures, with native orv-run's beside them from the same run (not pass/fail):
//   - emulated MHz with no pacing: the monitor scanning its display, run in the page's 1,000-cycle
//     slices for a few seconds, against orv-run running the same monitor for the same cycles;
//   - the browser's CPU (every process of it) while the page runs the monitor at 1 MHz, visible.
// Usage, after scripts/build-web.sh, the target orv-run and npm ci in tests/web:
//   node bench/web_bench.mjs [path/to/orv-run] [seconds of CPU sampling, default 10]
import { execFileSync } from 'node:child_process';
import { readdirSync, readFileSync } from 'node:fs';
import path from 'node:path';
import { performance } from 'node:perf_hooks';
import { openBrowser, openPage, root, serve } from '../tests/web/browser.mjs';

const orvRun = process.argv[2] || path.join(root, 'build/release/orv-run');
const seconds = Number(process.argv[3] || 10);
const CYCLES = 200_000_000;
const TICKS_PER_SECOND = 100; // USER_HZ on Linux

// Native: orv-run's whole run of CYCLES cycles of the monitor, timed from outside.
const start = performance.now();
execFileSync(orvRun, ['--cycles', String(CYCLES)]);
const nativeMhz = CYCLES / ((performance.now() - start) * 1000);

const server = await serve();
const browser = await openBrowser();
const page = await openPage(browser, server.url);
// Unpaced: halted, then the same monitor run in slices as fast as the page can.
await page.getByRole('button', { name: 'Halt' }).click();
const webMhz = await page.evaluate((cycles) => {
  const begin = performance.now();
  for (let done = 0; done < cycles; done += 1000) globalThis.orvane.run(1000);
  return cycles / ((performance.now() - begin) * 1000);
}, CYCLES / 4);
await page.getByRole('button', { name: 'Run' }).click();

// CPU of every process started with this profile, in clock ticks.
function browserTicks() {
  let ticks = 0;
  for (const pid of readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    try {
      if (!readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes(browser.profile)) continue;
      const fields = readFileSync(`/proc/${pid}/stat`, 'utf8').split(') ')[1].split(' ');
      ticks += Number(fields[11]) + Number(fields[12]); // utime, stime
    } catch {
      // Gone meanwhile.
    }
  }
  return ticks;
}
await page.waitForTimeout(2000);
const ticksBefore = browserTicks();
const cyclesBefore = await page.evaluate(() => globalThis.orvane.cycles());
const wallBefore = performance.now();
await page.waitForTimeout(seconds * 1000);
const wall = (performance.now() - wallBefore) / 1000;
const ticks = browserTicks() - ticksBefore;
const paced = ((await page.evaluate(() => globalThis.orvane.cycles())) - cyclesBefore) >>> 0;
await browser.close();
server.close();

console.log(`native orv-run:     ${nativeMhz.toFixed(1)} MHz`);
console.log(`browser, unpaced:   ${webMhz.toFixed(1)} MHz (${((100 * webMhz) / nativeMhz).toFixed(0)}% of native)`);
console.log(`browser at 1 MHz:   ${(paced / wall / 1e6).toFixed(4)} MHz emulated over ${wall.toFixed(1)} s`);
console.log(`browser CPU, idle:  ${((100 * ticks) / TICKS_PER_SECOND / wall).toFixed(1)}% of one core`);

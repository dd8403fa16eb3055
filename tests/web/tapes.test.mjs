// Tapes in the web edition: the monitor's "s" recorded to a MIDI file that is byte for byte the one
// orv-run records for the same program and keys, and that tape played back into the monitor's "l".
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { browserForTests, dropFile, openPage, orvRun, orvRunDisplay, typeKeys, waitForDisplay }
  from './browser.mjs';

const web = browserForTests();
const scratch = mkdtempSync(path.join(tmpdir(), 'orv-web-tapes-'));

const program = Buffer.from([0xa9, 0x42, 0x8d, 0x17]);
const keys = 's0200^0203^';

test("a recording is orv-run's, and plays back into the monitor", async () => {
  const bin = path.join(scratch, 'prog.bin');
  writeFileSync(bin, program);
  const expected = path.join(scratch, 'run.mid');
  execFileSync(orvRun, [bin, '--at', '0200', '--keys', keys.replaceAll('\n', '^'), '--record', expected]);

  const page = await openPage(web.browser, web.server.url);
  await dropFile(page, 'prog.bin', program);
  const address = page.getByRole('dialog', { name: 'Orvane - Load Binary' });
  await address.getByRole('textbox').fill('0200');
  await address.getByRole('button', { name: 'OK' }).click();
  await page.getByRole('button', { name: 'Tape Record' }).click();
  const name = page.getByRole('dialog', { name: 'Start Recording...' });
  await name.getByLabel('File name:').fill('prog');
  await name.getByRole('button', { name: 'OK' }).click();
  const downloaded = page.waitForEvent('download', { timeout: 120000 });
  await typeKeys(page, keys.replaceAll('^', '\n'));
  const download = await downloaded;
  assert.equal(download.suggestedFilename(), 'prog.mid');
  const recorded = path.join(scratch, 'prog.mid');
  await download.saveAs(recorded);
  assert.ok(readFileSync(recorded).equals(readFileSync(expected)), "the recording differs from orv-run's");

  // Played into a board whose RAM was cleared by a fresh page: "l" loads it back.
  const fresh = await openPage(web.browser, web.server.url);
  await dropFile(fresh, 'prog.mid', readFileSync(recorded));
  await typeKeys(fresh, 'l');
  // The tape's light goes out once the ended tape has been stopped.
  await fresh.waitForFunction(() => globalThis.orvane.tapeLight() === 0, null, { timeout: 120000 });
  await typeKeys(fresh, 'm0201\n');
  const shown = orvRunDisplay('m0201^', [recorded]);
  assert.match(shown, /42$/);
  assert.equal(await waitForDisplay(fresh, shown), shown);
  // The tape's notes were sounded along the way without a fault.
  assert.deepEqual([...page.errors, ...fresh.errors], []);
  await fresh.close();
  await page.close();
});

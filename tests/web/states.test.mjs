// Save states in the web edition: a state orv-run saved loads and shows its display, and the page saves
// it back byte for byte; the quick slot keeps one in the browser's storage.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { boxText, browserForTests, objectFile, openPage, orvRun, orvRunDisplay, typeKeys, waitForDisplay }
  from './browser.mjs';

const web = browserForTests();
const scratch = mkdtempSync(path.join(tmpdir(), 'orv-web-states-'));

test("orv-run's state loads, shows its display and saves back byte for byte", async () => {
  const program = path.join(scratch, 'prog.obj');
  writeFileSync(program, objectFile(0x0300, [0xa9, 0x42]));
  const state = path.join(scratch, 'run.orvstate');
  execFileSync(orvRun, [program, '--keys', 'm0301^', '--until-display', 'A.0301 .42', '--save-state', state]);

  const page = await openPage(web.browser, web.server.url);
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'),
    page.getByRole('button', { name: 'Load State...' }).click()]);
  await chooser.setFiles(state);
  assert.deepEqual(await boxText(page), ['Successful load', "State loaded from 'run.orvstate'"]);
  assert.equal(await waitForDisplay(page, 'A.0301 .42'), 'A.0301 .42');

  await page.getByRole('button', { name: 'Save State...' }).click();
  const dialog = page.getByRole('dialog', { name: 'Save State...' });
  await dialog.getByLabel('File name:').fill('again');
  const [download] = await Promise.all([page.waitForEvent('download'), dialog.getByRole('button', { name: 'OK' }).click()]);
  assert.equal(download.suggestedFilename(), 'again.orvstate');
  assert.deepEqual(await boxText(page), ['Successful save', "State saved to 'again.orvstate'"]);
  const saved = path.join(scratch, 'again.orvstate');
  await download.saveAs(saved);
  assert.ok(readFileSync(saved).equals(readFileSync(state)), 'the saved state differs from orv-run\'s');
  await page.close();
});

test('the quick slot: none yet, then saved and loaded back over a reset', async () => {
  const page = await openPage(web.browser, web.server.url);
  await page.keyboard.press('F9');
  assert.deepEqual(await boxText(page),
    ['Quick Load State', 'There is no quick save yet: Quick Save State (F5) makes one.']);
  await typeKeys(page, 'mfe00');
  const shown = orvRunDisplay('mfe00');
  assert.equal(await waitForDisplay(page, shown), shown);
  await page.keyboard.press('F5');
  await typeKeys(page, '\u001b');
  const reset = orvRunDisplay('');
  assert.equal(await waitForDisplay(page, reset), reset);
  await page.getByRole('button', { name: 'Quick Load State' }).click();
  assert.equal(await waitForDisplay(page, shown), shown);
  await page.close();
});

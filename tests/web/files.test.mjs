// Files in the web edition as on the desktop: Load by the file chooser and by a drop (a binary asks its
// address), Save As offered as a download that orv-run reads back, and a refusal in a box with the
// core's own message, the same orv-run prints.
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { boxText, browserForTests, chooseFile, dropFile, objectFile, openPage, orvRun, orvRunDisplay, typeKeys,
  waitForDisplay } from './browser.mjs';

const web = browserForTests();
const scratch = mkdtempSync(path.join(tmpdir(), 'orv-web-files-'));

const bytes = [0xa9, 0x42, 0x8d, 0x17];

describe('a program loads and the monitor shows it', () => {
  const cases = [
    { name: 'object file by the file chooser', file: 'prog.obj', content: objectFile(0x0300, bytes),
      put: chooseFile, box: ['Successful load', "4 bytes loaded from 'prog.obj'"] },
    { name: 'binary by a drop, at the address asked', file: 'prog.bin', content: Buffer.from(bytes), put: dropFile,
      at: '0300' },
  ];
  for (const c of cases) {
    test(c.name, async () => {
      const page = await openPage(web.browser, web.server.url);
      await waitForDisplay(page, orvRunDisplay(''));
      await c.put(page, c.file, c.content);
      if (c.at) {
        const dialog = page.getByRole('dialog', { name: 'Orvane - Load Binary' });
        await dialog.getByRole('textbox').fill(c.at);
        await dialog.getByRole('button', { name: 'OK' }).click();
      }
      if (c.box) assert.deepEqual(await boxText(page), c.box);
      await typeKeys(page, 'm0301\n');
      const file = path.join(scratch, c.file);
      writeFileSync(file, c.content);
      const expected = orvRunDisplay('m0301^', [file, ...(c.at ? ['--at', c.at] : [])]);
      assert.match(expected, /42/);
      assert.equal(await waitForDisplay(page, expected), expected);
      await page.close();
    });
  }
});

test('Save As downloads an object file that orv-run loads', async () => {
  const page = await openPage(web.browser, web.server.url);
  await dropFile(page, 'prog.obj', objectFile(0x0300, bytes));
  await page.getByRole('button', { name: 'Save As' }).click();
  const dialog = page.getByRole('dialog', { name: 'Orvane - Save' });
  await dialog.getByLabel('Start address:').fill('0300');
  await dialog.getByLabel('End address:').fill('0303');
  await dialog.getByLabel('File name:').fill('saved');
  const [download] = await Promise.all([page.waitForEvent('download'), dialog.getByRole('button', { name: 'OK' }).click()]);
  assert.equal(download.suggestedFilename(), 'saved.obj');
  assert.deepEqual(await boxText(page), ['Successful save', "4 bytes saved to 'saved.obj'"]);
  const saved = path.join(scratch, 'saved.obj');
  await download.saveAs(saved);
  const run = spawnSync(orvRun, [saved, '--cycles', '1000', '--expect', '0300=a9,42,8d,17'], { encoding: 'utf8' });
  assert.equal(run.status, 0, run.stderr);
  await page.close();
});

describe('a refusal shows the core message in a box', () => {
  const cases = [
    { name: 'a damaged object file', file: 'bad.obj', content: ':0403000012\r\n', put: chooseFile },
    { name: 'a file that is no program', file: 'notes.txt', content: 'hello', put: dropFile,
      message: "Error: file 'notes.txt' is no object, binary or tape file" },
  ];
  for (const c of cases) {
    test(c.name, async () => {
      const page = await openPage(web.browser, web.server.url);
      await c.put(page, c.file, c.content);
      const file = path.join(scratch, c.file);
      writeFileSync(file, c.content);
      const [caption, text] = await boxText(page);
      assert.equal(caption, 'Error loading from file');
      await page.close();
      if (c.message) return assert.equal(text, c.message);
      // orv-run says the core's message without its leading "Error: " or "Error in ".
      const run = spawnSync(orvRun, [file], { encoding: 'utf8', cwd: scratch });
      const said = /^orv-run: (.*)$/m.exec(run.stderr)[1];
      assert.ok([`Error: ${said}`, `Error in ${said}`].includes(text), `${text} against orv-run's ${said}`);
    });
  }
});

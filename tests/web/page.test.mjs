// The web edition in a real browser: it boots to the monitor, clicked and typed keys reach the monitor
// as orv-run's keys do, and the one-file page does the same from a file URL.
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { browserForTests, displayOf, openPage, orvRunDisplay, waitForDisplay, webDir } from './browser.mjs';

const web = browserForTests();

const singleFile = () => pathToFileURL(path.join(webDir, 'orvane.html')).href;

describe('boots to the monitor', () => {
  for (const [name, url] of [['served', () => web.server.url], ['one file from a file URL', singleFile]]) {
    test(name, async () => {
      const page = await openPage(web.browser, url());
      const expected = orvRunDisplay('');
      assert.equal(await waitForDisplay(page, expected), expected);
      assert.deepEqual(page.errors, []);
      await page.close();
    });
  }
});

// Each case: how the keys go in, the keys, and orv-run's script for the same keys.
const keyCases = [
  { name: 'clicked', keys: 'm0200', script: 'm0200' },
  { name: 'typed', keys: 'm03a1', script: 'm03a1' },
  { name: 'typed, upper case and Enter', keys: 'MFE0A\n', script: 'mfe0a^' },
  { name: 'typed, then Esc resets', keys: 'm0200\u001b', script: '' },
  { name: 'typed into the one-file page', keys: 'm0300', script: 'm0300', url: singleFile },
];

describe('keys reach the monitor', () => {
  for (const c of keyCases) {
    test(c.name, async () => {
      const page = await openPage(web.browser, c.url ? c.url() : web.server.url);
      await waitForDisplay(page, orvRunDisplay(''));
      for (const ch of c.keys) {
        if (c.name === 'clicked') await page.getByRole('button', { name: `Key ${ch}`, exact: true }).click();
        else await page.keyboard.press({ '\n': 'Enter', '\u001b': 'Escape' }[ch] || ch);
        // One key at a time, as a person types: each taken before the next.
        await page.waitForFunction(() => globalThis.orvane.keysLeft() === 0);
      }
      const expected = orvRunDisplay(c.script);
      assert.equal(await waitForDisplay(page, expected), expected);
      await page.close();
    });
  }
});

test('every key is a button with its name', async () => {
  const page = await openPage(web.browser, web.server.url);
  const names = await page.locator('.keypad button').evaluateAll((b) => b.map((e) => e.getAttribute('aria-label')));
  assert.equal(names.length, 25);
  assert.ok(names.includes('Key rst (reset)') && names.includes('Key ^') && names.includes('Key f'));
  await page.close();
});

test('halted, the register line shows; run goes on', async () => {
  const page = await openPage(web.browser, web.server.url);
  await page.getByRole('button', { name: 'Halt' }).click();
  assert.match(await page.locator('#status').textContent(), /PC/i);
  await page.getByRole('button', { name: 'Run' }).click();
  assert.equal(await page.locator('#status').textContent(), 'Running...');
  await page.close();
});

// Paste as Keys and Paste into Memory from the clipboard, by Ctrl+Shift+V and Ctrl+V as on the
// desktop: keys typed at the program's pace, dumps stored whole, bare bytes at the address asked for,
// and the core's refusals in the box.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { boxText, browserForTests, openPage, orvRunDisplay, typeKeys, waitForDisplay } from './browser.mjs';

const web = browserForTests(['clipboard-read', 'clipboard-write']);

// Each: the clipboard's text, the shortcut, an address to answer, the box it shows (if any), then
// keys to type and what the monitor shows.
const cases = [
  { name: 'as keys', text: 'mfe0a\n', shortcut: 'Control+Shift+V', shows: orvRunDisplay('mfe0a^') },
  { name: 'as keys, nothing to type', text: 'xyz', shortcut: 'Control+Shift+V',
    box: ['Paste as Keys', 'The clipboard holds no text the keypad can type.'] },
  { name: 'a dump into memory', text: '0300: 42 17\n', shortcut: 'Control+V',
    box: ['Paste into Memory', '2 bytes at 0300-0301'], keys: 'm0301\n', shows: 'A.0301 .17' },
  { name: 'bare bytes at the address asked', text: '42 17', shortcut: 'Control+V', at: '0310',
    box: ['Paste into Memory', '2 bytes at 0310-0311'], keys: 'm0310\n', shows: 'A.0310 .42' },
  { name: 'a dump that does not read', text: '0300: 4g\n', shortcut: 'Control+V', box: ['Paste into Memory', /line 1/] },
];

for (const c of cases) {
  test(c.name, async () => {
    const page = await openPage(web.browser, web.server.url);
    await waitForDisplay(page, orvRunDisplay(''));
    await page.evaluate((text) => navigator.clipboard.writeText(text), c.text);
    await page.keyboard.press(c.shortcut);
    if (c.at) {
      const dialog = page.getByRole('dialog', { name: 'Orvane - Paste into Memory' });
      await dialog.getByRole('textbox').fill(c.at);
      await dialog.getByRole('button', { name: 'OK' }).click();
    }
    if (c.box) {
      const [caption, text] = await boxText(page);
      assert.equal(caption, c.box[0]);
      if (c.box[1] instanceof RegExp) assert.match(text, c.box[1]);
      else assert.equal(text, c.box[1]);
    }
    if (c.keys) await typeKeys(page, c.keys);
    if (c.shows) assert.equal(await waitForDisplay(page, c.shows), c.shows);
    await page.close();
  });
}

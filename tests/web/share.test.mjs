// Share links: a link carrying a program loads it and, when it asks, runs it; a damaged or oversized
// link says what is wrong and loads nothing; Share Link... makes a link that does the same.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { boxText, browserForTests, openPage, orvRunDisplay, typeKeys, waitForDisplay } from './browser.mjs';

const web = browserForTests();

// lda #$42, sta $0300, then jmp to itself: it leaves its mark at $0300 only when it ran.
const program = Buffer.from([0xa9, 0x42, 0x8d, 0x00, 0x03, 0x4c, 0x05, 0x02]);
const data = program.toString('base64url');
const big = Buffer.alloc(512).toString('base64url');

// Each case: the fragment, and either the box it shows or keys and what the monitor then shows.
const cases = [
  { name: 'loads and runs', hash: `load=0200:${data}&run=0200`, keys: '\u001bm0300\n', shows: 'A.0300 .42' },
  { name: 'loads without running', hash: `load=0200:${data}`, keys: 'm0201\n', shows: 'A.0201 .42' },
  { name: 'damaged bytes', hash: `load=0200:${data.slice(0, -1)}*`,
    box: "The link is damaged: its program's bytes are cut or changed." },
  { name: 'no load address', hash: `load=02x0:${data}`, box: 'The link is damaged: it gives no load address.' },
  { name: 'too big for the memory', hash: `load=FF00:${big}`, box: "Error: file 'link.bin' does not fit in memory from FF00" },
];

for (const c of cases) {
  test(c.name, async () => {
    const page = await openPage(web.browser, `${web.server.url}#${c.hash}`);
    if (c.box) {
      const [caption, text] = await boxText(page);
      assert.equal(caption, 'Share link');
      assert.equal(text, c.box);
      // Nothing loaded: the monitor shows what it shows after power-on.
      const idle = orvRunDisplay('');
      assert.equal(await waitForDisplay(page, idle), idle);
    } else {
      await typeKeys(page, c.keys);
      assert.equal(await waitForDisplay(page, c.shows), c.shows);
    }
    await page.close();
  });
}

test('Share Link... makes a link that loads the same bytes', async () => {
  const page = await openPage(web.browser, `${web.server.url}#load=0200:${data}`);
  await page.getByRole('button', { name: 'Share Link...' }).click();
  const dialog = page.getByRole('dialog', { name: 'Share Link...' });
  await dialog.getByLabel('Start address:').fill('0200');
  await dialog.getByLabel('End address:').fill('0207');
  await dialog.getByLabel('Run from:').fill('0200');
  await dialog.getByRole('button', { name: 'OK' }).click();
  const [, link] = await boxText(page);
  assert.equal(link, `${web.server.url}#load=0200:${data}&run=0200`);
  await page.close();
});

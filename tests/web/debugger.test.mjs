// The debugger view: it stops at a breakpoint with the core's reason, steps, names the monitor's
// routines and the user's labels, and reads and edits memory.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { browserForTests, openPage } from './browser.mjs';

const web = browserForTests();

// lda #$42, sta $0300, then jmp to itself.
const program = Buffer.from([0xa9, 0x42, 0x8d, 0x00, 0x03, 0x4c, 0x05, 0x02]).toString('base64url');

async function debuggerAt(pc) {
  const page = await openPage(web.browser, `${web.server.url}#load=0200:${program}`);
  await page.getByRole('button', { name: 'Halt' }).click();
  // Shown, whether or not the last page left it shown.
  const toggle = page.getByRole('button', { name: 'Debugger' });
  if ((await toggle.getAttribute('aria-pressed')) !== 'true') await toggle.click();
  const view = page.getByRole('region', { name: 'Debugger' });
  await view.getByLabel('Register PC').fill(pc);
  await view.getByLabel('Register PC').press('Enter');
  return { page, view };
}

const firstLine = (view) => view.getByRole('list', { name: 'Disassembly' }).locator('li code').first().textContent();

test('stops at a breakpoint, and memory shows what ran', async () => {
  const { page, view } = await debuggerAt('0200');
  // The register line under the panel follows the edit.
  assert.match(await page.locator('#status').textContent(), /^PC:0200 /);
  await view.getByRole('button', { name: 'Breakpoint at $0205' }).click();
  await page.getByRole('button', { name: 'Run', exact: true }).click();
  await view.locator('.reason').filter({ hasText: 'Breakpoint at $0205' }).waitFor();
  assert.equal(await view.getByLabel('Register PC').inputValue(), '0205');
  assert.match(await page.locator('#status').textContent(), /^PC:0205 A:42/);
  await view.getByLabel('Memory at').fill('0300');
  await view.getByLabel('Memory at').press('Enter');
  assert.equal(await view.getByLabel('Memory $0300').inputValue(), '42');
  await page.close();
});

// Each: where PC starts, then the buttons pressed and where each leaves PC.
const stepCases = [
  { name: 'into a subroutine and out of it', pc: 'FE00',
    steps: [['Step Into', 'FE02'], ['Step Into', 'FE04'], ['Step Into', 'FE6F'], ['Step Out', 'FE07']] },
  { name: 'over a subroutine', pc: 'FE04', steps: [['Step Over', 'FE07']] },
  { name: 'run to here', pc: '0200', steps: [['Run to $0205', '0205']] },
];

for (const c of stepCases) {
  test(`steps: ${c.name}`, async () => {
    const { page, view } = await debuggerAt(c.pc);
    for (const [button, pc] of c.steps) {
      await view.getByRole('button', { name: button }).click();
      await page.waitForFunction((p) => document.querySelector('[aria-label="Register PC"]').value === p, pc);
    }
    await page.close();
  });
}

test("the monitor's routines by their names", async () => {
  const { page, view } = await debuggerAt('FE00');
  assert.match(await firstLine(view), /> FE00 {2}SHOWFOUR: LDY #\$06/);
  await page.close();
});

test('a label file names the user\'s addresses; memory edits reach the board', async () => {
  const { page, view } = await debuggerAt('0200');
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'),
    view.getByRole('button', { name: 'Load Labels...' }).click()]);
  await chooser.setFiles({ name: 'prog.lbl', mimeType: 'text/plain', buffer: Buffer.from('al 000200 .start\n') });
  await page.waitForFunction(() => document.querySelector('#debugger li code')?.textContent.includes('start:'));
  await view.getByLabel('Memory at').fill('0201');
  await view.getByLabel('Memory at').press('Enter');
  await view.getByLabel('Memory $0201').fill('17');
  await view.getByLabel('Memory $0201').press('Enter');
  assert.match(await firstLine(view), /LDA #\$17/);
  await page.close();
});

test('the view, size, mute and labels are kept for the next visit', async () => {
  const first = await openPage(web.browser, web.server.url);
  await first.getByRole('button', { name: 'Mute' }).click();
  await first.keyboard.press('-');
  const scale = await first.locator('#panel canvas').evaluate((c) => c.width);
  await first.close();
  const { page, view } = await debuggerAt('0200');
  assert.equal(await page.getByRole('button', { name: 'Mute' }).getAttribute('aria-pressed'), 'true');
  assert.equal(await page.locator('#panel canvas').evaluate((c) => c.width), scale);
  // The label file loaded by the test before.
  assert.match(await firstLine(view), /start:/);
  await page.close();
});

// What the web edition's tests share: Debian's chromium driven by Playwright with a fresh profile, the
// built page served from build/web on a free local port, and orv-run's answer for the same keys.
import { chromium } from 'playwright-core';
import { after, before } from 'node:test';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
export const root = path.resolve(here, '../..');
export const webDir = path.join(root, 'build/web');
export const orvRun = process.env.ORV_RUN || path.join(root, 'build/release/orv-run');

const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm',
  '.wav': 'audio/wav' };

export async function serve() {
  const server = createServer((request, response) => {
    const name = path.basename(new URL(request.url, 'http://x').pathname) || 'index.html';
    try {
      const body = readFileSync(path.join(webDir, name));
      response.writeHead(200, { 'Content-Type': types[path.extname(name)] || 'application/octet-stream' });
      response.end(body);
    } catch {
      response.writeHead(404);
      response.end();
    }
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { url: `http://127.0.0.1:${server.address().port}/`, close: () => server.close() };
}

// The page server and the browser of one test file: started before its tests, closed after them;
// `permissions` granted to the page (the clipboard's, say).
export function browserForTests(permissions = []) {
  const web = {};
  before(async () => {
    web.server = await serve();
    web.browser = await openBrowser();
    if (permissions.length) await web.browser.context.grantPermissions(permissions, { origin: web.server.url });
  });
  after(async () => {
    await web.browser.close();
    web.server.close();
  });
  return web;
}

export async function openBrowser() {
  const profile = mkdtempSync(path.join(tmpdir(), 'orv-web-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 1000, height: 1000 },
  });
  return {
    context,
    profile,
    close: async () => {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// A page opened at `url`, started, with every error it throws collected.
export async function openPage(browser, url) {
  const page = await browser.context.newPage();
  page.errors = [];
  page.on('pageerror', (error) => page.errors.push(error.message));
  await page.goto(url);
  await page.waitForSelector('body[data-ready="true"]');
  return page;
}

export function displayOf(page) {
  return page.locator('#display-text').textContent();
}

// Waits until the page's display shows `text`; returns what it shows at the end.
export async function waitForDisplay(page, text) {
  await page.waitForFunction((t) => document.querySelector('#display-text').textContent === t, text)
    .catch(() => {});
  return displayOf(page);
}

// What orv-run's display shows once the monitor has taken these keys, after loading these files.
export function orvRunDisplay(keys, files = []) {
  const args = [...files, '--cycles', '10000000', '--show', 'display'];
  if (keys) args.push('--keys', keys);
  const out = execFileSync(orvRun, args, { encoding: 'utf8' });
  return /^display: "(.*)"$/m.exec(out)[1];
}

// One Intel HEX data record and the end record.
export function objectFile(address, bytes) {
  const body = [bytes.length, address >> 8, address & 0xff, 0, ...bytes];
  const sum = (0x100 - (body.reduce((a, b) => a + b, 0) & 0xff)) & 0xff;
  const hex = (values) => values.map((v) => v.toString(16).padStart(2, '0').toUpperCase()).join('');
  return `:${hex(body)}${hex([sum])}\r\n:00000001FF\r\n`;
}

// Keys typed one at a time, each taken by the program before the next, as a person types.
export async function typeKeys(page, keys) {
  for (const ch of keys) {
    await page.keyboard.press({ '\n': 'Enter', '\u001b': 'Escape' }[ch] || ch);
    await page.waitForFunction(() => globalThis.orvane.keysLeft() === 0);
  }
}

export async function chooseFile(page, name, content) {
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'),
    page.getByRole('button', { name: 'Load', exact: true }).click()]);
  await chooser.setFiles({ name, mimeType: 'application/octet-stream', buffer: Buffer.from(content) });
}

export async function dropFile(page, name, content) {
  await page.evaluate(([n, data]) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([new Uint8Array(data)], n));
    document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, [name, [...Buffer.from(content)]]);
}

// The box's caption and text once it shows; closes it.
export async function boxText(page) {
  const box = page.locator('#box');
  await box.waitFor({ state: 'visible' });
  const shown = [await box.locator('h2').textContent(), await box.locator('p').textContent()];
  await box.getByRole('button', { name: 'OK' }).click();
  await box.waitFor({ state: 'hidden' });
  return shown;
}

// The tuning page in a real browser (Debian's chromium, driven by playwright-core), against the
// console running its demo: the plots advance; a string typed into the chain editor is checked
// as it is typed and, when rejected, flagged at its place and not applied; a valid one is
// applied and its cue moves on the plot; a cue held at its rig limit turns its bar red.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import path from 'node:path';
import { startDemo, request, waitFor } from './console_demo.mjs';

const { chromium } = createRequire(path.join(process.env.TARVELIN_PAGE_NPM, 'node_modules', '/'))('playwright-core');

let browser;
let demo;
let page;

before(async () => {
  // The browser starts first: the engine's paced threads leave a busy machine little to spare.
  browser = await chromium.launch({
    executablePath: process.env.TARVELIN_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run'],
  });
  demo = await startDemo();
  page = await browser.newPage({ viewport: { width: 1500, height: 1300 } });
  page.on('pageerror', (error) => { throw error; });
  await page.goto(demo.url);
  await page.waitForFunction(() => window.tuningPage.x.length > 0, null, { timeout: 20000 });
});

after(async () => {
  if (browser) await browser.close();
  if (demo) await demo.stop();
});

const newestOnPlot = (slot) => page.evaluate((s) => {
  const column = window.tuningPage.plots.motion.data[1 + s];
  return column[column.length - 1];
}, slot);

test('the plots advance with the engine', async () => {
  const plotted = () => page.evaluate(() => window.tuningPage.plots.motion.data[0].at(-1));
  const before = await plotted();
  await waitFor('newer cycles on the plot', async () => (await plotted()) > before + 0.5, 10);
  await waitFor('the game on the page', async () => /BeamNG/.test(await page.textContent('#game')));
});

test('a rejected string is flagged at its place and not applied', async () => {
  await page.selectOption('#edit-profile', '0');
  await page.selectOption('#edit-slot', '0');
  const installed = await page.textContent('#current-filter');
  await page.fill('#filter-input', 'GAIN(EMALP(VALUE;10);2');
  await page.waitForFunction(() => /never closed/.test(document.getElementById('filter-reason').textContent));
  assert.equal(await page.isDisabled('#filter-apply'), true);
  assert.equal(await page.textContent('#filter-caret'), '    ^');
  await page.press('#filter-input', 'Enter');
  const profile = (await request(demo.url, 'GET', '/api/profile')).json;
  assert.equal(profile.profiles[0].slots[0].filter, installed);
});

test('a valid string is applied and its cue follows it', async () => {
  await page.fill('#filter-input', 'SETVALUE(VALUE;0.5)');
  await page.waitForFunction(() => /valid/.test(document.getElementById('filter-reason').textContent));
  await page.click('#filter-apply');
  await page.waitForFunction(() => /applied/.test(document.getElementById('filter-reason').textContent));
  assert.equal(await page.textContent('#current-filter'), 'SETVALUE(VALUE;0.5)');
  // The engine blends the new cue in over four seconds (longer when the drive stands still).
  await waitFor('the cue at 0.5 on the plot', async () => Math.abs((await newestOnPlot(0)) - 0.5) < 1e-6, 30);
});

test('a cue at its rig limit turns its bar red and is counted', async () => {
  await page.fill('#filter-input', 'SETVALUE(VALUE;3)');
  await page.waitForFunction(() => /valid/.test(document.getElementById('filter-reason').textContent));
  await page.click('#filter-apply');
  await page.waitForSelector('#cue-0.at-limit', { timeout: 30000 });
  const colour = await page.$eval('#cue-0 .fill', (fill) => getComputedStyle(fill).backgroundColor);
  assert.equal(colour, 'rgb(255, 77, 77)');
  await waitFor('cycles counted at the limit', async () => Number(await page.textContent('#cue-0 .count')) > 0);
  assert.equal(await page.$eval('#cue-1', (row) => row.classList.contains('at-limit')), false);
  if (process.env.TARVELIN_PAGE_SCREENSHOT) {
    // The README's picture: back to the example's chain, once the drive has moved a while.
    await page.fill('#filter-input', 'LOGISTIC(EMALP(GAIN(VALUE;0.12);10);1;1)');
    await page.click('#filter-apply');
    await page.selectOption('#edit-slot', '1');
    await page.fill('#filter-input', 'LOGISTIC(EMALP(GAIN(VALUE;0.10);10);1;1');
    await page.waitForTimeout(9000);
    await page.screenshot({ path: process.env.TARVELIN_PAGE_SCREENSHOT, fullPage: true });
  }
});

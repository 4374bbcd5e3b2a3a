// The favourites editor against the real program: the edit frame set and the
// history page served by the program itself post their forms back to it, and
// the Favorites folder changes as the report page says.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { copyFile, mkdir, mkdtemp, readFile, readdir, rm, writeFile } from 'node:fs/promises';
import { existsSync } from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { chromium } from 'playwright-core';

import { collectScriptErrors, launchBrowser } from './support/browser.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const BINARY = process.env.VISTREL_BINARY || path.resolve(here, '../../build/vistrel');
const CHROMIUM = process.env.VISTREL_CHROMIUM || '/usr/bin/chromium';
const REFRESH_WAIT_MS = 60000;

function hex(text) {
  return Buffer.from(text, 'utf8').toString('hex').toUpperCase();
}

async function freePort() {
  const server = net.createServer();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return port;
}

async function waitFor(check, ms, what) {
  const end = Date.now() + ms;
  for (;;) {
    const value = await check().catch(() => undefined);
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 200));
  }
}

function shortcut(url) {
  return `[InternetShortcut]\r\nURL=${url}\r\n`;
}

// A site on loopback whose one page has a title.
async function startTitledSite(title) {
  const server = http.createServer((request, response) => {
    response.writeHead(200, { 'Content-Type': 'text/html' });
    response.end(request.method === 'HEAD' ? undefined : `<html><head><title>${title}</title></head><body>site</body></html>`);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { url: `http://127.0.0.1:${server.address().port}/page.htm`, close: () => new Promise((r) => server.close(r)) };
}

// A temporary HOME with a Favorites tree.
async function makeHome(favourites) {
  const home = await mkdtemp(path.join(tmpdir(), 'vistrel-editor-'));
  const favoritesFolder = path.join(home, 'Favorites');
  await mkdir(path.join(home, 'program'), { recursive: true });
  await mkdir(path.join(home, 'tmp'), { recursive: true });
  for (const [name, url] of Object.entries(favourites)) {
    await mkdir(path.dirname(path.join(favoritesFolder, name)), { recursive: true });
    await writeFile(path.join(favoritesFolder, name), shortcut(url));
  }
  return home;
}

// The user's own browser, in that HOME, visits a site a few times, so that
// its history holds the site.
async function browseInHome(home, url, visits) {
  const context = await chromium.launchPersistentContext(path.join(home, '.config', 'chromium'), {
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking', '--disable-sync'],
  });
  const page = await context.newPage();
  for (let i = 0; i < visits; i++) await page.goto(url);
  await context.close();
}

// A copy of the program in that HOME that refreshes once at start (history
// pass included) and serves on its own port.
async function startProgram(home) {
  const programFolder = path.join(home, 'program');
  const favoritesFolder = path.join(home, 'Favorites');
  const dataFolder = path.join(home, 'Documents', 'vistrel');
  const port = await freePort();
  await copyFile(BINARY, path.join(programFolder, 'vistrel'));
  await writeFile(path.join(programFolder, 'vistrel.ini'),
    '[General]\r\nStartup=1\r\nHistory=1\r\nHistory_threshhold=1\r\nAutorefresh=0\r\nTime_refresh=0\r\nNewPage=0\r\nAutoStart=0\r\n'
    + `Fetch_Timeout=30\r\n[Data]\r\nPort=${port}\r\n`);
  const child = spawn(path.join(programFolder, 'vistrel'), [], {
    env: {
      ...process.env,
      HOME: home,
      XDG_CONFIG_HOME: path.join(home, '.config'),
      XDG_DOCUMENTS_DIR: path.join(home, 'Documents'),
      TMPDIR: path.join(home, 'tmp'),
      QT_QPA_PLATFORM: 'offscreen',
      VISTREL_BROWSER: path.join(home, 'no-browser'),
    },
    stdio: ['ignore', 'ignore', 'pipe'],
  });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const base = `http://localhost:${port}/`;
  return {
    programFolder, favoritesFolder, dataFolder, port, base,
    stderr: () => stderr,
    unique: (name) => hex(path.join(favoritesFolder, name)),
    async stop() {
      if (child.exitCode === null) {
        const exited = new Promise((resolve) => child.once('exit', resolve));
        child.kill('SIGTERM');
        const timer = setTimeout(() => child.kill('SIGKILL'), 10000);
        await exited;
        clearTimeout(timer);
      }
    },
  };
}

async function listTree(folder, prefix = '') {
  const out = [];
  for (const entry of await readdir(folder, { withFileTypes: true })) {
    const name = prefix + entry.name;
    if (entry.isDirectory()) out.push(...await listTree(path.join(folder, entry.name), name + '/'));
    else out.push(name);
  }
  return out.sort();
}

describe('favourites editor', { skip: !existsSync(BINARY) && `${BINARY} is missing` }, () => {
  let browser;
  let program;
  let site;
  let home;
  before(async () => {
    site = await startTitledSite('Suggested Site');
    // Nothing listens on the discard port: the probes end at once.
    const dead = 'http://127.0.0.1:9/';
    home = await makeHome({
      'Alpha.url': dead,
      'Beta.url': dead,
      'Gamma.url': dead,
      'Links/Keep.url': dead,
    });
    await browseInHome(home, site.url, 3);
    program = await startProgram(home);
    await waitFor(async () => {
      const edit = await (await fetch(program.base + 'edit.htm')).text();
      const history = await (await fetch(program.base + 'history.htm')).text();
      return edit.includes(`Edit${program.unique('Links/Keep.url')}`) && history.includes('Add to favourites');
    }, REFRESH_WAIT_MS, 'the first refresh to write the editing form and the history page').catch((error) => {
      throw new Error(`${error.message}; the program said: ${program.stderr()}`);
    });
    browser = await launchBrowser();
  });
  after(async () => {
    await browser?.close();
    await program?.stop();
    await site?.close();
    if (home) await rm(home, { recursive: true, force: true });
  });

  test('saving the edit page renames, moves and deletes, and reports each', async () => {
    const page = await browser.context.newPage();
    const errors = collectScriptErrors(page);
    await page.goto(program.base + 'editor.htm');
    const form = page.frame({ name: 'mymain' });
    await form.waitForSelector('form[name="myedit"]');
    await form.fill(`textarea[name="Edit${program.unique('Alpha.url')}"]`, 'Renamed Alpha');
    await form.selectOption(`select[name="Combo${program.unique('Beta.url')}"]`, 'Links');
    await form.check(`input[name="CB${program.unique('Gamma.url')}"]`);

    const footer = page.frame({ name: 'footer' });
    await Promise.all([
      form.waitForNavigation({ url: /cgifrm1\.exe$/ }),
      footer.click('input[name="B1"]'),
    ]);
    const report = await form.content();
    assert.match(report, /<title>Vistrel Reporter<\/title>/i);
    assert.match(report, /Your data has been recorded:/);
    // Three fields for each of the four links, and the one ticked box.
    assert.match(report, /there were 13 results from127\.0\.0\.1<br>Action taken : Renamed Favourite Alpha to Renamed Alpha<br>/);
    assert.match(report, /Moved Favourite Beta to \\Links\\<br>/);
    assert.match(report, /Deleted Favourite Gamma\.url from \\ folder<br>/);
    assert.deepEqual(await listTree(program.favoritesFolder),
      ['Links/Beta.url', 'Links/Keep.url', 'Renamed Alpha.URL']);
    assert.equal(await readFile(path.join(program.favoritesFolder, 'Renamed Alpha.URL'), 'utf8'),
      shortcut('http://127.0.0.1:9/'));
    const record = await readFile(path.join(program.programFolder, 'CgiFrm1.txt'), 'utf8');
    assert.match(record, /Renamed Favourite Alpha to Renamed Alpha<br>\r\nMoved Favourite Beta/);
    assert.deepEqual(errors, []);
  });

  test('"Add to favourites" on the history page adds the site under its title', async () => {
    const page = await browser.context.newPage();
    await page.goto(program.base + 'history.htm');
    await Promise.all([
      page.waitForNavigation({ url: /cgifrm2\.exe$/ }),
      page.click('input[type="submit"][value="Add to favourites"]'),
    ]);
    const report = await page.content();
    assert.match(report, /there were 1 results from127\.0\.0\.1<br>Action taken : Added Favourite Suggested Site <br>/);
    assert.equal(await readFile(path.join(program.favoritesFolder, 'Suggested Site.URL'), 'utf8'), shortcut(site.url));
  });
});

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

import { collectScriptErrors, launchBrowser } from './support/browser.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const BINARY = process.env.VISTREL_BINARY || path.resolve(here, '../../build/vistrel');
const HISTORY_TEMPLATE = path.resolve(here, '../../src/pages/templates/Default_XSL_History.xsl');
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

// A copy of the program in a temporary HOME, with a Favorites tree, that
// refreshes once at start and serves on its own port.
async function startProgram(favourites) {
  const home = await mkdtemp(path.join(tmpdir(), 'vistrel-editor-'));
  const programFolder = path.join(home, 'program');
  const favoritesFolder = path.join(home, 'Favorites');
  const dataFolder = path.join(home, 'Documents', 'vistrel');
  await mkdir(programFolder, { recursive: true });
  await mkdir(path.join(home, 'tmp'), { recursive: true });
  for (const [name, url] of Object.entries(favourites)) {
    await mkdir(path.dirname(path.join(favoritesFolder, name)), { recursive: true });
    await writeFile(path.join(favoritesFolder, name), shortcut(url));
  }
  const port = await freePort();
  await copyFile(BINARY, path.join(programFolder, 'vistrel'));
  await writeFile(path.join(programFolder, 'vistrel.ini'),
    '[General]\r\nStartup=1\r\nHistory=0\r\nAutorefresh=0\r\nTime_refresh=0\r\nNewPage=0\r\nAutoStart=0\r\n'
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
    home, programFolder, favoritesFolder, dataFolder, port, base,
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
      await rm(home, { recursive: true, force: true });
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
  before(async () => {
    site = await startTitledSite('Suggested Site');
    // Nothing listens on the discard port: the probes end at once.
    const dead = 'http://127.0.0.1:9/';
    program = await startProgram({
      'Alpha.url': dead,
      'Beta.url': dead,
      'Gamma.url': dead,
      'Links/Keep.url': dead,
    });
    await waitFor(async () => {
      const response = await fetch(program.base + 'edit.htm');
      const text = await response.text();
      return text.includes(`Edit${program.unique('Links/Keep.url')}`);
    }, REFRESH_WAIT_MS, 'the first refresh to write the editing form');
    browser = await launchBrowser();
  });
  after(async () => {
    await browser?.close();
    await program?.stop();
    await site?.close();
  });

  test('saving the edit page renames, moves and deletes, and reports each', async () => {
    // Three fields for each of the four links, and the one ticked box.
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
    // The history page as the history pass writes it: the history template
    // applied to a history document.
    const historyXml = '<?xml version="1.0" encoding="utf-8"?>\r\n<BROWSERINFO \r\nTime="463645000">\r\n<History>\r\n'
      + '<Link \r\nBROWSER="IE"\r\nDESCRIPTION="Suggested&#32;Site" \r\n'
      + `PRECODE = "200" PID_IS_URL="${site.url}" VISITS="12" CODE = "200" IMAGE ="images\\history\\1.BMP" \r\n`
      + '></Link>\r\n</History>\r\n</BROWSERINFO>\r\n';
    const template = await readFile(HISTORY_TEMPLATE, 'utf8');
    const page = await browser.context.newPage();
    await page.goto(program.base + 'viewer.htm');
    const html = await page.evaluate(([xml, xsl]) => {
      const parser = new DOMParser();
      const processor = new XSLTProcessor();
      processor.importStylesheet(parser.parseFromString(xsl, 'application/xml'));
      const result = processor.transformToDocument(parser.parseFromString(xml, 'application/xml'));
      return '<!DOCTYPE html>\n' + result.documentElement.outerHTML;
    }, [historyXml, template]);
    await writeFile(path.join(program.dataFolder, 'history.htm'), html);

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

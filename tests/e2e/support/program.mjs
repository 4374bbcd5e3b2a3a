// The real program, started the way a user starts it: a copy in a program
// folder of a temporary HOME that holds a Favorites tree, its settings file
// beside it, serving on a free loopback port.
import { spawn } from 'node:child_process';
import { copyFile, mkdir, mkdtemp, readFile, readdir, readlink, rm, writeFile } from 'node:fs/promises';
import net from 'node:net';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { chromium } from 'playwright-core';

import { hex } from './listing.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
export const BINARY = process.env.VISTREL_BINARY || path.resolve(here, '../../../build/vistrel');
export const CHROMIUM = process.env.VISTREL_CHROMIUM || '/usr/bin/chromium';

export async function freePort() {
  const server = net.createServer();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return port;
}

// Polls until check() gives something truthy; a generous limit that ends as
// soon as the condition holds.
export async function waitFor(check, ms, what) {
  const end = Date.now() + ms;
  let lastError;
  for (;;) {
    const value = await check().catch((error) => { lastError = error; return undefined; });
    if (value) return value;
    if (Date.now() > end) {
      throw new Error(`timed out waiting for ${what}${lastError ? ` (last error: ${lastError.message})` : ''}`);
    }
    await new Promise((resolve) => setTimeout(resolve, 250));
  }
}

export function shortcut(url) {
  return `[InternetShortcut]\r\nURL=${url}\r\n`;
}

export async function addFavourite(favoritesFolder, name, url) {
  const file = path.join(favoritesFolder, name);
  await mkdir(path.dirname(file), { recursive: true });
  await writeFile(file, shortcut(url));
}

// A temporary HOME with a Favorites tree: { 'Links/Name.url': url, ... }.
export async function makeHome(favourites, prefix = 'vistrel-e2e-home-') {
  const home = await mkdtemp(path.join(tmpdir(), prefix));
  await mkdir(path.join(home, 'program'), { recursive: true });
  await mkdir(path.join(home, 'tmp'), { recursive: true });
  await mkdir(path.join(home, 'Favorites'), { recursive: true });
  for (const [name, url] of Object.entries(favourites)) await addFavourite(path.join(home, 'Favorites'), name, url);
  return home;
}

// The user's own browser, in that HOME, visits a site a few times, so that
// its history database holds the site.
export async function browseInHome(home, url, visits) {
  const context = await chromium.launchPersistentContext(path.join(home, '.config', 'chromium'), {
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking', '--disable-sync'],
  });
  const page = await context.newPage();
  for (let i = 0; i < visits; i++) await page.goto(url);
  await context.close();
}

export function settingsText({ port, general = {}, data = {} }) {
  const section = (name, values) => `[${name}]\r\n`
    + Object.entries(values).map(([key, value]) => `${key}=${value}\r\n`).join('');
  return section('General', {
    Startup: 1, History: 1, History_threshhold: 1, Autorefresh: 0, Time_refresh: 0, NewPage: 0, AutoStart: 0,
    Fetch_Timeout: 30, ...general,
  }) + section('Data', { Port: port, ...data });
}

// Starts the copy. Options: general / data (settings keys), browser (the
// thumbnail browser: a path, or 'installed' for the one the program finds on
// PATH; none by default, so captures draw cards), display (an X
// display to run on; offscreen otherwise), env (more environment variables).
export async function startProgram(home, { general = {}, data = {}, browser, display, env: extra = {} } = {}) {
  const programFolder = path.join(home, 'program');
  const favoritesFolder = path.join(home, 'Favorites');
  const dataFolder = path.join(home, 'Documents', 'vistrel');
  const port = await freePort();
  const binary = path.join(programFolder, 'vistrel');
  await copyFile(BINARY, binary);
  const settingsFile = path.join(programFolder, 'vistrel.ini');
  await writeFile(settingsFile, settingsText({ port, general, data }));
  const env = {
    ...process.env,
    HOME: home,
    XDG_CONFIG_HOME: path.join(home, '.config'),
    XDG_DOCUMENTS_DIR: path.join(home, 'Documents'),
    TMPDIR: path.join(home, 'tmp'),
    // The single-instance lock and socket of each test's own copy.
    XDG_RUNTIME_DIR: path.join(home, 'tmp'),
    VISTREL_BROWSER: browser || path.join(home, 'no-browser'),
    ...extra,
  };
  if (browser === 'installed') delete env.VISTREL_BROWSER;
  delete env.WAYLAND_DISPLAY;
  if (display) {
    env.DISPLAY = display;
    delete env.QT_QPA_PLATFORM;
  } else {
    delete env.DISPLAY;
    env.QT_QPA_PLATFORM = 'offscreen';
  }
  const child = spawn(binary, [], { env, stdio: ['ignore', 'ignore', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const exited = new Promise((resolve) => child.once('exit', (code, signal) => resolve({ code, signal })));
  return {
    home, programFolder, favoritesFolder, dataFolder, port, settingsFile, child, exited,
    base: `http://localhost:${port}/`,
    stderr: () => stderr,
    unique: (name) => hex(path.join(favoritesFolder, name)),
    // SIGTERM, then the exit status; SIGKILL only when it hangs, which the
    // caller sees as a signal in the status.
    async stop(ms = 30000) {
      if (child.exitCode !== null || child.signalCode !== null) return exited;
      child.kill('SIGTERM');
      const timer = setTimeout(() => child.kill('SIGKILL'), ms);
      const status = await exited;
      clearTimeout(timer);
      return status;
    },
  };
}

export async function fetchText(url) {
  const response = await fetch(url);
  return { status: response.status, type: response.headers.get('content-type'), text: await response.text() };
}

export async function listTree(folder, prefix = '') {
  const out = [];
  for (const entry of await readdir(folder, { withFileTypes: true })) {
    const name = prefix + entry.name;
    if (entry.isDirectory()) out.push(...await listTree(path.join(folder, entry.name), name + '/'));
    else out.push(name);
  }
  return out.sort();
}

// Processes whose command line, working folder or environment point into a
// folder: what a program run in that HOME may have left behind.
export async function processesInto(folder) {
  const found = [];
  for (const entry of await readdir('/proc')) {
    if (!/^\d+$/.test(entry) || Number(entry) === process.pid) continue;
    const at = path.join('/proc', entry);
    try {
      const cmdline = (await readFile(path.join(at, 'cmdline'))).toString().replaceAll('\0', ' ');
      const environ = (await readFile(path.join(at, 'environ'))).toString();
      const cwd = await readlink(path.join(at, 'cwd')).catch(() => '');
      if (cmdline.includes(folder) || environ.includes(folder) || cwd.startsWith(folder)) {
        found.push(`${entry}: ${cmdline.trim()}`);
      }
    } catch {
      // Gone meanwhile, or not ours to read.
    }
  }
  return found;
}

// Stops what a suite started, the browser first and the site last, and
// removes its HOME.
export async function tearDown({ browser, program, xvfb, site, home }) {
  await browser?.close();
  await program?.stop();
  await xvfb?.stop();
  await site?.close();
  if (home) await rm(home, { recursive: true, force: true });
}

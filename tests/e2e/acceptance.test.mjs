// Vistrel as a user runs it: a copy of the real program in a temporary HOME
// with a Favorites tree and a browser history, real page thumbnails from
// Chromium, a fixture web site on loopback, and the pages watched through the
// program's own server and a real browser.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync } from 'node:fs';
import { mkdir, readFile, unlink } from 'node:fs/promises';
import path from 'node:path';

import { collectScriptErrors, launchBrowser } from './support/browser.mjs';
import { colourCount, near, percentEscape, readBitmap, readLinks } from './support/catalogue.mjs';
import { LATIN1_TITLE, UTF8_TITLE, startFixtureSite } from './support/fixtureSite.mjs';
import { SECURE_COLOUR, startSecureSite } from './support/secureSite.mjs';
import {
  BINARY, addFavourite, browseInHome, fetchText, makeHome, processesInto, startProgram, tearDown, waitFor,
} from './support/program.mjs';
import {
  clickInWindow, findWindow, saveWindowPng, grabWindow, startXvfb, windowGeometry,
} from './support/xdisplay.mjs';

const SCREENSHOTS = process.env.VISTREL_SCREENSHOTS ? path.resolve(process.env.VISTREL_SCREENSHOTS) : '';
const START_WAIT_MS = 30000;
const REFRESH_WAIT_MS = 240000;
// The reloader looks every 10 seconds; the rest is a loaded machine's slack.
const RELOAD_WAIT_MS = 40000;

async function screenshot(page, name) {
  if (!SCREENSHOTS) return;
  await mkdir(SCREENSHOTS, { recursive: true });
  await page.screenshot({ path: path.join(SCREENSHOTS, name) });
}

async function readListing(dataFolder) {
  const bytes = await readFile(path.join(dataFolder, 'listings.xml'));
  // Throws on any byte sequence that is not UTF-8.
  return new TextDecoder('utf-8', { fatal: true }).decode(bytes);
}

function byName(links) {
  return Object.fromEntries(links.map((link) => [link.attributes.DESCRIPTION, link]));
}

// Every picture of the frame's grid has loaded with real pixels.
async function gridPictures(frame) {
  return frame.evaluate(() => [...document.images].map((image) => ({
    src: image.getAttribute('src'), complete: image.complete, width: image.naturalWidth,
  })));
}

async function captions(frame) {
  return frame.evaluate(() => [...document.querySelectorAll('b')].map((e) => e.textContent.trim()));
}

describe('Vistrel as a user runs it', { skip: !existsSync(BINARY) && `${BINARY} is missing` }, () => {
  let site;
  let secureSite;
  let home;
  let program;
  let browser;
  let viewPage;
  let settingsBefore;

  before(async () => {
    site = await startFixtureSite();
    home = await makeHome({
      'Plain One.url': site.url('/plain1.htm'),
      'Plain Two.url': site.url('/plain2.htm'),
      'Links/Plain Three.url': site.url('/plain3.htm'),
      'Redirect Chain.url': site.url('/r1'),
      'Meta Refresh.url': site.url('/meta.htm'),
      'Missing Page.url': site.url('/missing.htm'),
      'Never Answers.url': site.url('/hang'),
      'Manual.url': site.url('/manual.pdf'),
      'Blank Script.url': site.url('/blank.htm'),
      'Latin Title.url': site.url('/latin1.htm'),
      'Unicode Title.url': site.url('/utf8.htm'),
    }, 'vistrel-acceptance-');
    await mkdir(path.join(home, 'tls'));
    secureSite = await startSecureSite(path.join(home, 'tls'));
    await addFavourite(path.join(home, 'Favorites'), 'Secure Page.url', secureSite.url('/secure.htm'));
    // Visited more often than the threshold of 1, and no favourite yet.
    await browseInHome(home, site.url('/suggested.htm'), 2);
    program = await startProgram(home, {
      // The thumbnail browser the program finds by itself, as for a user.
      browser: 'installed',
      general: { Autorefresh: 1, History: 1, History_threshhold: 1, Fetch_Timeout: 3, Secure: 1 },
      data: { LogToFile: 1 },
      // The test CA, and no other, is trusted for secure sites.
      env: { SSL_CERT_FILE: secureSite.caFile },
    });
    settingsBefore = await readFile(program.settingsFile, 'utf8');
    browser = await launchBrowser();
  });

  after(async () => {
    await secureSite?.close();
    await tearDown({ browser, program, site, home });
  });

  test('first start serves the frame set and its pages before any refresh has finished', async () => {
    const viewer = await waitFor(async () => {
      const answer = await fetchText(program.base);
      return answer.status === 200 && answer;
    }, START_WAIT_MS, 'the program to serve its default document').catch((error) => {
      throw new Error(`${error.message}; the program said:`);
    });
    assert.match(viewer.text, /<title>Viewer<\/title>/i);
    for (const frame of ['view_header.htm', 'view.htm', 'reloader.htm']) {
      assert.match(viewer.text, new RegExp(`src="${frame.replace('.', '\\.')}"`, 'i'));
    }
    // The never-answering site alone keeps the first refresh busy well beyond this.
    assert.equal(existsSync(path.join(program.dataFolder, 'listings.xml')), false);
    const view = await fetchText(program.base + 'view.htm');
    assert.equal(view.status, 200);
    assert.match(view.text, /Vistrel First Run/);
    assert.match(view.text, new RegExp(`http://localhost:${program.port}/view\\.htm`));
    for (const name of ['view_header.htm', 'reloader.htm', 'view_footer.htm', 'editor.htm', 'history.htm', '_back.jpg']) {
      const answer = await fetch(program.base + name);
      assert.equal(answer.status, 200, name);
    }
    const reloader = await fetchText(program.base + 'reloader.htm');
    assert.match(reloader.text, /LocalTime\s*=\s*1\b/);

    // A browser that opens the viewer now keeps it open for the rest of the run.
    viewPage = await browser.context.newPage();
    await viewPage.goto(program.base);
    await viewPage.frame({ name: 'mymain' }).waitForLoadState();
  });

  test('the first refresh catalogues every kind of site, with its pictures', async () => {
    await waitFor(async () => existsSync(path.join(program.dataFolder, 'listings.xml'))
      && (await fetchText(program.base + 'history.htm')).text.includes('Add to favourites'),
    REFRESH_WAIT_MS, 'the first refresh, history included').catch((error) => {
      throw new Error(`${error.message}; the program said:`);
    });
    const links = byName(readLinks(await readListing(program.dataFolder)));
    assert.deepEqual(Object.keys(links).sort(), ['Blank Script', 'Latin Title', 'Manual', 'Meta Refresh',
      'Missing Page', 'Never Answers', 'Plain One', 'Plain Three', 'Plain Two', 'Redirect Chain', 'Secure Page',
      'Unicode Title']);
    assert.equal(links['Plain Three'].folder, 'Links');
    assert.equal(links['Plain One'].folder, '');

    const code = (name) => links[name].attributes.CODE;
    const title = (name) => links[name].attributes.GIVEN_TITLE;
    assert.equal(code('Plain One'), '200');
    assert.equal(title('Plain One'), percentEscape('Plain One'));
    assert.equal(links['Redirect Chain'].attributes.PRECODE, '301');
    assert.equal(code('Redirect Chain'), '200');
    assert.equal(title('Redirect Chain'), percentEscape('Landing Page'));
    assert.equal(code('Meta Refresh'), '200');
    assert.equal(title('Meta Refresh'), percentEscape('Meta Target'));
    assert.equal(code('Missing Page'), '404');
    assert.equal(title('Missing Page'), undefined);
    assert.ok(Number(code('Never Answers')) < 0, `never-answering site got ${code('Never Answers')}`);
    assert.equal(code('Manual'), '200');
    assert.equal(title('Manual'), undefined);
    assert.equal(title('Latin Title'), percentEscape(LATIN1_TITLE));
    assert.equal(title('Unicode Title'), percentEscape(UTF8_TITLE));
    assert.equal(links['Secure Page'].attributes.PRECODE, '200');
    assert.equal(code('Secure Page'), '200');
    assert.equal(title('Secure Page'), percentEscape('Secure Page'));

    // Every favourite has a picture on disk and served by the program.
    const pictures = {};
    for (const [name, link] of Object.entries(links)) {
      const image = link.attributes.IMAGE;
      assert.ok(image, `${name} has no IMAGE`);
      const file = await readFile(path.join(program.dataFolder, ...image.split('\\')));
      pictures[name] = readBitmap(file);
      assert.equal(pictures[name].width, 122, name);
      assert.equal(pictures[name].height, 122, name);
      const served = await fetch(program.base + image.replaceAll('\\', '/'));
      assert.equal(served.status, 200, `${name}'s picture served`);
      assert.deepEqual(Buffer.from(await served.arrayBuffer()), file);
    }
    // Real thumbnails show the page's own colours; the others are drawn.
    assert.ok(near(pictures['Plain One'].pixel(3, 3), '#1565c0'), `Plain One ${pictures['Plain One'].pixel(3, 3)}`);
    assert.ok(near(pictures['Redirect Chain'].pixel(3, 3), '#ef6c00'), 'the redirect target is pictured');
    assert.ok(near(pictures['Meta Refresh'].pixel(3, 3), '#00838f'), 'the meta refresh target is pictured');
    assert.ok(near(pictures['Latin Title'].pixel(3, 3), '#c62828'));
    // The browser took the page itself, not a certificate warning: it was
    // pinned to the certificate the probe verified.
    assert.ok(near(pictures['Secure Page'].pixel(3, 3), SECURE_COLOUR), `Secure Page ${pictures['Secure Page'].pixel(3, 3)}`);
    const captionFill = pictures['Missing Page'].pixel(1, 1);
    assert.ok(colourCount(pictures['Missing Page']) > 2, 'the error picture carries a caption');
    assert.deepEqual(pictures['Never Answers'].pixel(1, 1), captionFill);
    assert.deepEqual(pictures['Blank Script'].pixel(1, 1), captionFill, 'a blank page gets the drawn picture');
    assert.ok(colourCount(pictures['Blank Script']) > 2);
    assert.deepEqual(pictures.Manual.pixel(1, 1), [255, 255, 255], 'a download shows its file icon on white');
    assert.ok(colourCount(pictures.Manual) > 1, 'the icon is drawn');

    // The open viewer took up the new grid by itself, every picture loaded.
    const grid = viewPage.frame({ name: 'mymain' });
    await waitFor(async () => (await captions(grid)).includes('Plain One'), RELOAD_WAIT_MS, 'the open viewer to reload');
    await waitFor(async () => {
      const images = await gridPictures(grid);
      return images.length === 12 && images.every((image) => image.complete && image.width > 0);
    }, RELOAD_WAIT_MS, 'every grid picture to load');
    await screenshot(viewPage, 'viewer.png');
  });

  test('the editor and the history suggestions show the catalogue', async () => {
    const page = await browser.context.newPage();
    const errors = collectScriptErrors(page);
    await page.setViewportSize({ width: 1024, height: 700 });
    await page.goto(program.base + 'editor.htm');
    const form = page.frame({ name: 'mymain' });
    await form.waitForSelector('form[name="myedit"]');
    assert.equal(await form.locator('textarea').count(), 12);
    assert.equal(await form.inputValue(`textarea[name="Edit${program.unique('Latin Title.url')}"]`), 'Latin Title');
    await screenshot(page, 'editor.png');

    await page.goto(program.base + 'history.htm');
    const button = page.locator('input[type="submit"][value="Add to favourites"]');
    assert.equal(await button.count(), 1);
    assert.equal(await button.getAttribute('name'), site.url('/suggested.htm'));
    await waitFor(async () => (await gridPictures(page.mainFrame())).some((image) => image.width > 0),
      START_WAIT_MS, 'the suggestion\'s picture to load');
    await screenshot(page, 'history.png');
    assert.deepEqual(errors, []);
  });

  test('a change in the Favorites folder reaches the open viewer without a reload', async () => {
    const before = await readListing(program.dataFolder);
    await addFavourite(program.favoritesFolder, 'Added Later.url', site.url('/added.htm'));
    // Gone as well, which also spares the second refresh its wait on that site.
    await unlink(path.join(program.favoritesFolder, 'Never Answers.url'));

    const grid = viewPage.frame({ name: 'mymain' });
    await waitFor(async () => {
      const names = await captions(grid);
      return names.includes('Added Later') && !names.includes('Never Answers');
    }, REFRESH_WAIT_MS, 'the open viewer to show the added favourite');
    const after = await readListing(program.dataFolder);
    assert.notEqual(after, before);
    const links = byName(readLinks(after));
    assert.equal(links['Added Later'].attributes.CODE, '200');
    assert.equal(links['Never Answers'], undefined);
    await waitFor(async () => (await gridPictures(grid)).every((image) => image.complete && image.width > 0),
      RELOAD_WAIT_MS, 'the new grid\'s pictures to load');
  });

  test('SIGTERM ends the program cleanly', async () => {
    // Let a refresh that is still running (the history pass) come to its end first.
    await waitFor(async () => (await fetchText(program.base + 'history.htm')).text.includes('Add to favourites'),
      REFRESH_WAIT_MS, 'the history page');
    const status = await program.stop();
    assert.deepEqual(status, { code: 0, signal: null }, program.stderr());

    const settingsAfter = await readFile(program.settingsFile, 'utf8');
    assert.notEqual(settingsAfter, settingsBefore);
    const value = (text, key) => text.match(new RegExp(`^${key}=(.*)\\r?$`, 'mi'))?.[1];
    assert.equal(value(settingsAfter, 'Port'), String(program.port));
    assert.equal(value(settingsAfter, 'Autorefresh'), '1');
    assert.match(settingsAfter, /\r\nSortBy=[^\r]*\r\nSecure=1\r\n/, 'Secure is the last key of [General]');
    // Two refreshes raised the image generation from its first value, 1.
    assert.ok(Number(value(settingsAfter, 'EvenFileName')) >= 3, settingsAfter);
    // The shortest Site Timeout the program allows.
    assert.equal(value(settingsAfter, 'Fetch_Timeout'), '30');
    for (const key of ['WindowMain', 'Data', 'General']) assert.match(settingsAfter, new RegExp(`^\\[${key}\\]`, 'm'));

    const log = (await readFile(path.join(program.programFolder, 'vistrel.log'), 'latin1')).trimEnd().split(/\r?\n/);
    assert.match(log[0], /^\[\d\d:\d\d:\d\d \d{4}\/\d\d\/\d\d Log file opened\.\]$/);
    assert.match(log.at(-1), /^\[\d\d:\d\d:\d\d \d{4}\/\d\d\/\d\d Log file Closed\.\]$/);
    assert.ok(log.some((line) => line.includes('GET')), 'requests were logged');

    const left = await waitFor(async () => (await processesInto(home)).length === 0 || undefined, 10000,
      'the program\'s children to end').then(() => [], async () => processesInto(home));
    assert.deepEqual(left, []);
  });
});

// Pixels of one exact colour in a grabbed window: the lamp is drawn in pure
// red, yellow or green, which nothing else in the window uses.
function countColour({ rgb }, [r, g, b]) {
  let count = 0;
  for (let at = 0; at < rgb.length; at += 3) {
    if (rgb[at] === r && rgb[at + 1] === g && rgb[at + 2] === b) count++;
  }
  return count;
}

const RED = [255, 0, 0];
const YELLOW = [255, 255, 0];
const GREEN = [0, 255, 0];
const LAMP_PIXELS = 20;
const SLOW_FAVOURITES = 8;

// Where "Cancel Refresh" sits in the fixed-size settings window.
const CANCEL_BUTTON = { x: 215, y: 283 };

const haveDisplayTools = ['/usr/bin/Xvfb', '/usr/bin/xdotool', '/usr/bin/xwd'].every((tool) => existsSync(tool));

describe('cancelling a refresh in the settings window', {
  skip: (!existsSync(BINARY) && `${BINARY} is missing`) || (!haveDisplayTools && 'Xvfb, xdotool or xwd is missing'),
}, () => {
  let site;
  let xvfb;
  let home;
  let program;
  let window;

  before(async () => {
    site = await startFixtureSite();
    xvfb = await startXvfb();
    const favourites = {};
    for (let i = 1; i <= SLOW_FAVOURITES; i++) favourites[`Slow ${String(i).padStart(2, '0')}.url`] = site.url(`/slow.htm?${i}`);
    home = await makeHome(favourites, 'vistrel-cancel-');
    program = await startProgram(home, { display: xvfb.display, browser: 'installed', general: { Startup: 1, History: 0 } });
    window = await waitFor(() => findWindow(xvfb.display, 'Vistrel'), START_WAIT_MS, 'the settings window')
      .catch((error) => { throw new Error(`${error.message}; the program said: ${program.stderr()}`); });
  });

  after(() => tearDown({ program, xvfb, site, home }));

  test('"Cancel Refresh" stops the refresh after the page in hand, and the pages stay served', async () => {
    const geometry = await windowGeometry(xvfb.display, window);
    assert.deepEqual([geometry.width, geometry.height], [429, 353]);

    // Once the second favourite is in hand the lamp is red.
    const filesLog = path.join(program.programFolder, 'files.log');
    // Favourites are taken in the folder's own order and sorted afterwards.
    const started = async () => [...(await readFile(filesLog, 'utf8').catch(() => ''))
      .matchAll(/^starting .*,(Slow \d\d)\.url\r?$/gm)].map((match) => match[1]);
    await waitFor(async () => (await started()).length >= 2, START_WAIT_MS, 'the refresh to reach its second favourite');
    await waitFor(async () => countColour(await grabWindow(xvfb.display, window), RED) > LAMP_PIXELS,
      START_WAIT_MS, 'the red lamp');
    if (SCREENSHOTS) {
      await mkdir(SCREENSHOTS, { recursive: true });
      await saveWindowPng(xvfb.display, window, path.join(SCREENSHOTS, 'settings.png'));
    }

    const startedBeforeCancel = await started();
    await clickInWindow(xvfb.display, window, CANCEL_BUTTON.x, CANCEL_BUTTON.y);
    await waitFor(async () => {
      const picture = await grabWindow(xvfb.display, window);
      return countColour(picture, YELLOW) > LAMP_PIXELS || countColour(picture, GREEN) > LAMP_PIXELS;
    }, START_WAIT_MS, 'the lamp to leave red');

    await waitFor(async () => existsSync(path.join(program.dataFolder, 'listings.xml')), REFRESH_WAIT_MS,
      'the cancelled refresh to write its listing');
    await waitFor(async () => countColour(await grabWindow(xvfb.display, window), GREEN) > LAMP_PIXELS,
      START_WAIT_MS, 'the green lamp');
    // The refresh's browser ended with it.
    assert.deepEqual((await processesInto(home)).filter((line) => /chrom/i.test(line)), []);
    const links = readLinks(await readListing(program.dataFolder));
    const names = links.map((link) => link.attributes.DESCRIPTION);
    // The first slow page was pictured before the cancel.
    const first = links.find((link) => link.attributes.DESCRIPTION === startedBeforeCancel[0]);
    const picture = readBitmap(await readFile(path.join(program.dataFolder, ...first.attributes.IMAGE.split('\\'))));
    assert.ok(near(picture.pixel(3, 3), '#37474f'), `${startedBeforeCancel[0]} ${picture.pixel(3, 3)}`);
    // The favourite in hand was finished, the rest never begun.
    for (const name of startedBeforeCancel) assert.ok(names.includes(name), `${name} missing from ${names}`);
    assert.ok(names.length < SLOW_FAVOURITES, `the refresh went on to the end: ${names}`);

    const view = await fetchText(program.base + 'view.htm');
    assert.equal(view.status, 200);
    for (const name of names) assert.ok(view.text.includes(name), `${name} on the view page`);
    assert.equal((await fetch(program.base)).status, 200);

    assert.deepEqual(await program.stop(), { code: 0, signal: null }, program.stderr());
  });
});

// The generated pages in a real browser: the view frame set and its grid, the
// folder choice of per-folder mode, the reloader, and the edit form.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdtemp, mkdir, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';

import { collectScriptErrors, launchBrowser } from './support/browser.mjs';
import { imageName, makeListing, uniqueOf, writeImages } from './support/listing.mjs';
import { generatePages } from './support/pagegen.mjs';
import { startStaticServer } from './support/staticServer.mjs';

const RELOAD_WAIT_MS = 12000;

function links(prefix, count) {
  return Array.from({ length: count }, (_, i) => ({
    name: `${prefix} ${i + 1}`,
    url: `http://example.com/${prefix.replaceAll(' ', '-')}/${i + 1}`,
  }));
}

// A data folder served the way the program serves it, on the address the
// pages name: localhost and the server's port.
async function servedDataFolder(t) {
  const root = await mkdtemp(path.join(tmpdir(), 'vistrel-e2e-'));
  const dataFolder = path.join(root, 'vistrel');
  await mkdir(dataFolder);
  const server = await startStaticServer(dataFolder);
  t.after(async () => {
    await server.close();
    await rm(root, { recursive: true, force: true });
  });
  return { dataFolder, server, base: `http://localhost:${server.port}/` };
}

async function publish({ dataFolder, server }, folders, time, perFolder = false) {
  await writeImages(dataFolder, folders);
  await generatePages({ listing: makeListing(folders, time), dataFolder, port: server.port, perFolder });
}

describe('served pages', () => {
  let browser;
  before(async () => {
    browser = await launchBrowser();
  });
  after(async () => {
    await browser?.close();
  });

  test('the viewer shows every favourite with its picture and caption', async (t) => {
    const site = await servedDataFolder(t);
    const folders = [
      { location: '', links: links('Home', 5) },
      { location: 'Links\\Tools', links: links('Tool', 2) },
    ];
    await publish(site, folders, 463645000);

    const page = await browser.context.newPage();
    const errors = collectScriptErrors(page);
    await page.goto(site.base + 'viewer.htm');
    const grid = page.frame({ name: 'mymain' });
    assert.ok(grid, 'the frame set has its main frame');
    assert.match(grid.url(), /\/view\.htm$/);
    assert.ok(page.frame({ name: 'header' }));
    assert.ok(page.frame({ name: 'dummy' }));

    const all = folders.flatMap((folder) => folder.links);
    const pictures = await grid.$$eval('img', (images) =>
      images.map((image) => ({ src: image.getAttribute('src'), loaded: image.complete && image.naturalWidth > 0 })));
    assert.deepEqual(pictures.map((p) => p.src), all.map((link) => `images/${imageName(link.name)}`));
    assert.ok(pictures.every((p) => p.loaded), 'every picture is served and shown');

    const captions = await grid.$$eval('a b', (bold) => bold.map((b) => b.textContent));
    assert.deepEqual(captions, all.map((link) => link.name));
    const anchors = await grid.$$eval('a', (list) => list.map((a) => ({ href: a.getAttribute('href'), target: a.target })));
    assert.equal(anchors.length, all.length * 2);
    assert.ok(anchors.every((a) => a.target === '_top'));
    // Picture and caption both lead to the favourite's own address.
    assert.deepEqual(anchors.map((a) => a.href).sort(), all.flatMap((link) => [link.url, link.url]).sort());

    // The grid's script knows the listing it shows.
    assert.equal(await grid.evaluate(() => window.LoadTime), 463645000);
    assert.deepEqual(errors, []);
  });

  test('per-folder mode switches folders from the header', async (t) => {
    const site = await servedDataFolder(t);
    const folders = [
      { location: '', links: links('Home', 1) },
      { location: 'Links\\Tools', links: links('Tool', 3) },
      { location: 'News', links: links('Paper', 2) },
    ];
    await publish(site, folders, 463645000, true);

    const page = await browser.context.newPage();
    const errors = collectScriptErrors(page);
    await page.goto(site.base + 'viewer.htm');
    const header = page.frame({ name: 'header' });
    const grid = page.frame({ name: 'mymain' });
    assert.deepEqual(await header.$$eval('select[name=DropDown] option', (o) => o.map((x) => x.value)),
      ['Root', 'Links\\Tools', 'News']);
    assert.equal(await grid.$$eval('img', (i) => i.length), 1);

    await header.selectOption('select[name=DropDown]', 'Links\\Tools');
    await grid.waitForURL(/\/LinksTools\.htm$/);
    await grid.waitForLoadState('load');
    assert.deepEqual(await grid.$$eval('a b', (b) => b.map((x) => x.textContent)), ['Tool 1', 'Tool 2', 'Tool 3']);

    await header.selectOption('select[name=DropDown]', 'News');
    await grid.waitForURL(/\/News\.htm$/);
    await grid.waitForLoadState('load');
    assert.equal(await grid.$$eval('img', (i) => i.length), 2);

    await header.selectOption('select[name=DropDown]', 'Root');
    await grid.waitForURL(/\/view\.htm$/);
    assert.deepEqual(errors, []);
  });

  test('a new listing reloads the open grid within seconds, keeping its place', async (t) => {
    const site = await servedDataFolder(t);
    const folders = [{ location: '', links: links('Site', 40) }];
    await publish(site, folders, 463645000);

    const page = await browser.context.newPage();
    const errors = collectScriptErrors(page);
    await page.goto(site.base + 'viewer.htm');
    const grid = page.frame({ name: 'mymain' });
    await grid.evaluate(() => window.scrollTo(0, 300));
    assert.equal(await grid.evaluate(() => Math.round(window.scrollY)), 300);

    folders[0].links.push({ name: 'Newcomer', url: 'http://example.com/new' });
    await publish(site, folders, 463645100);
    const started = Date.now();
    await grid.waitForFunction(() => window.LoadTime === 463645100, null, { timeout: RELOAD_WAIT_MS });
    await grid.waitForLoadState('load');
    assert.ok(Date.now() - started <= RELOAD_WAIT_MS);

    assert.match(grid.url(), /\/view\.htm\?xScroll=0&yScroll=300$/);
    await grid.waitForFunction(() => Math.round(window.scrollY) === 300);
    assert.ok((await grid.$$eval('a b', (b) => b.map((x) => x.textContent))).includes('Newcomer'));
    // The header was reloaded too, and kept its page parameter.
    const header = page.frame({ name: 'header' });
    await header.waitForFunction(() => window.LoadTime === 463645100);
    assert.match(header.url(), /\/view_header\.htm\?page=/);
    assert.deepEqual(errors, []);
  });

  test('the editor form names its fields after each favourite and posts them', async (t) => {
    const site = await servedDataFolder(t);
    const folders = [
      { location: '', links: links('Home', 2) },
      { location: 'Links\\Tools', links: links('Tool', 1) },
    ];
    await publish(site, folders, 463645000);

    const page = await browser.context.newPage();
    const errors = collectScriptErrors(page);
    await page.goto(site.base + 'editor.htm');
    const form = page.frame({ name: 'mymain' });
    assert.match(form.url(), /\/edit\.htm$/);
    const home = uniqueOf('', 'Home 1');
    const tool = uniqueOf('Links\\Tools', 'Tool 1');

    assert.equal(await form.inputValue(`textarea[name=Edit${home}]`), 'Home 1');
    assert.equal(await form.inputValue(`select[name=Combo${home}]`), 'Root');
    assert.equal(await form.inputValue(`select[name=Combo${tool}]`), 'Links\\Tools');
    assert.equal(await form.inputValue(`input[name=OB${home}]`), '0');
    assert.equal(await form.getAttribute(`input[name=CB${tool}]`, 'value'), 'deleteme');
    const target = await form.$eval('form[name=myedit]', (f) => `${f.method} ${new URL(f.action).pathname}`);
    assert.equal(target, 'post /cgi-bin/cgifrm1.exe');

    // Save Changes in the button bar posts the form as it stands.
    await form.fill(`textarea[name=Edit${home}]`, 'Home renamed');
    await form.check(`input[name=CB${tool}]`);
    const footer = page.frame({ name: 'footer' });
    await footer.click('input[name=B1]');
    await form.waitForURL(/\/cgi-bin\/cgifrm1\.exe$/);
    assert.equal(site.server.posts.length, 1);
    const fields = new URLSearchParams(site.server.posts[0].body);
    assert.equal(fields.get(`Edit${home}`), 'Home renamed');
    assert.equal(fields.get(`Combo${home}`), 'Root');
    assert.equal(fields.get(`Combo${tool}`), 'Links\\Tools');
    assert.equal(fields.get(`OB${home}`), '0');
    assert.equal(fields.get(`CB${tool}`), 'deleteme');
    assert.equal(fields.get(`CB${home}`), null);
    assert.deepEqual(errors, []);
  });
});

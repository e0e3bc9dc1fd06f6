// The effect file on disk, when qpedit-web serves the page: it put a token in the
// page's address, and every request here carries it. read() and write() move the
// file's bytes; watch() reports each change made to the file by anything else.
// Without a token and a file in the address (qpedit-web serving the page alone, or
// any other server) there is no file on disk: connectDisk gives null.

const RETRY_MS = 1000;  // after a failed change request, before asking again

export function connectDisk(search) {
    const token = search.get('token');
    const name = search.get('file');
    if (!token || !name) return null;
    const headers = {'X-Qpedit-Token': token};
    let known = null;     // the stamp of the file as the page last read or saved it
    let saving = null;    // the write in flight, so its own change isn't taken for another's

    // The file's bytes (null when it doesn't exist yet) or {problem} when it can't be read.
    async function read() {
        const reply = await fetch('effect', {headers, cache: 'no-store'});
        known = reply.headers.get('X-Effect-Stamp');
        if (reply.status === 404) return null;
        if (!reply.ok) return {problem: (await reply.text()).trim()};
        return new Uint8Array(await reply.arrayBuffer());
    }

    // Saves `bytes` under the editor's Save rules: {ok, text} with the server's lines
    // (any backup kept, then saved or why not).
    async function write(bytes) {
        saving = (async () => {
            try {
                const reply = await fetch('effect', {method: 'PUT', headers, body: bytes, cache: 'no-store'});
                if (reply.headers.has('X-Effect-Stamp')) known = reply.headers.get('X-Effect-Stamp');
                return {ok: reply.ok, text: (await reply.text()).trim()};
            } catch (error) {
                return {ok: false, text: `Couldn't save effect ${name}: qpedit-web doesn't answer`};
            }
        })();
        const result = await saving;
        saving = null;
        return result;
    }

    // Calls onChange() each time the file on disk differs from what the page last read
    // or saved; runs as long as the page does.
    async function watch(onChange) {
        for (;;) {
            let now;
            try {
                const reply = await fetch(`effect/change?since=${encodeURIComponent(known ?? 'none')}`,
                                          {headers, cache: 'no-store'});
                if (!reply.ok) throw new Error(reply.statusText);
                now = (await reply.text()).trim();
            } catch (error) {
                await new Promise((done) => setTimeout(done, RETRY_MS));
                continue;
            }
            if (saving) await saving;
            if (now !== known) await onChange();
        }
    }

    // The page keeps its own version: the file as it is now is what it has seen.
    function ignoreChange(stamp) {
        known = stamp;
    }

    async function currentStamp() {
        const reply = await fetch('effect/change?since=', {headers, cache: 'no-store'});
        return (await reply.text()).trim();
    }

    return {name, read, write, watch, ignoreChange, currentStamp};
}

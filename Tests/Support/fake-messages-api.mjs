// A stand-in for the Anthropic Messages API, so that tests can run a real `claude -p` turn
// without a network or an account. It listens on loopback only, prints its port on the first
// line of stdout, and plays one scripted turn: the first model request that offers the Bash tool
// is answered with a Bash call of `echo hi`; once the tool's result comes back, the answer is a
// final text. Requests without tools (titles, summaries and other small side calls) get a short
// text, and anything it does not know gets an empty success, so that no side call fails a run.
//
// With --until-file PATH the turn goes on: every request that offers the Bash tool is answered with
// another call of the command, until PATH exists; the answer after that is the final text. A test
// keeps a session busy that way for as long as it needs.
//
// With --status N (529, say) every model request fails with that HTTP status and the API's error
// body instead, as an overloaded or failing service answers. With --status-after-tool N only the
// requests that bring a tool result back fail, so that a turn makes its call before the service
// goes down.
//
// It ends by itself after --lifetime seconds (120 by default), and as soon as its standard input
// closes when that is a pipe, so a test that dies cannot leave it behind.
//
// Each request is logged to stderr as one line, for failure messages.
import http from "node:http";
import fs from "node:fs";

const argv = process.argv.slice(2);
// An option given twice takes its last value, so a caller's own options override the defaults
// it passes first.
const option = (name, fallback) => {
    const index = argv.lastIndexOf(name);
    return index >= 0 && index + 1 < argv.length ? argv[index + 1] : fallback;
};
const lifetimeSeconds = Number(option("--lifetime", "120"));
const command = option("--command", "echo hi");
const finalText = option("--final-text", "Done: the command printed hi.");
const failureStatus = Number(option("--status", "0"));
const failureAfterToolStatus = Number(option("--status-after-tool", "0"));
const untilFile = option("--until-file", "");

let nextId = 1;
const log = (line) => process.stderr.write(`fake-messages-api: ${line}\n`);

function contentBlocks(message) {
    return Array.isArray(message?.content) ? message.content : [];
}

function hasToolResult(request) {
    return (request.messages ?? []).some((message) =>
        contentBlocks(message).some((block) => block?.type === "tool_result"));
}

function offersBash(request) {
    return (request.tools ?? []).some((tool) => tool?.name === "Bash");
}

function goesOn() {
    return untilFile !== "" && !fs.existsSync(untilFile);
}

// The content blocks and stop reason of the answer to one request.
function answerFor(request) {
    if (offersBash(request) && (!hasToolResult(request) || goesOn())) {
        return {
            stopReason: "tool_use",
            blocks: [{
                type: "tool_use",
                id: `toolu_fake${String(nextId++).padStart(4, "0")}`,
                name: "Bash",
                input: { command },
            }],
        };
    }
    const text = offersBash(request) ? finalText : "ok";
    return { stopReason: "end_turn", blocks: [{ type: "text", text }] };
}

function message(request, answer, blocks) {
    return {
        id: `msg_fake${String(nextId++).padStart(4, "0")}`,
        type: "message",
        role: "assistant",
        model: request.model ?? "claude-fake",
        content: blocks,
        stop_reason: answer.stopReason,
        stop_sequence: null,
        usage: { input_tokens: 10, output_tokens: 5 },
    };
}

function sendJson(response, status, body) {
    const text = JSON.stringify(body);
    response.writeHead(status, {
        "content-type": "application/json",
        "content-length": Buffer.byteLength(text),
        "request-id": `req_fake${nextId++}`,
    });
    response.end(text);
}

function sendStream(response, request, answer) {
    response.writeHead(200, {
        "content-type": "text/event-stream",
        "cache-control": "no-cache",
        "request-id": `req_fake${nextId++}`,
    });
    const event = (type, data) => response.write(`event: ${type}\ndata: ${JSON.stringify({ type, ...data })}\n\n`);
    const start = message(request, answer, []);
    start.stop_reason = null;
    start.usage = { input_tokens: 10, output_tokens: 1 };
    event("message_start", { message: start });
    answer.blocks.forEach((block, index) => {
        if (block.type === "tool_use") {
            event("content_block_start", { index, content_block: { ...block, input: {} } });
            event("content_block_delta", {
                index,
                delta: { type: "input_json_delta", partial_json: JSON.stringify(block.input) },
            });
        } else {
            event("content_block_start", { index, content_block: { type: "text", text: "" } });
            event("content_block_delta", { index, delta: { type: "text_delta", text: block.text } });
        }
        event("content_block_stop", { index });
    });
    event("message_delta", {
        delta: { stop_reason: answer.stopReason, stop_sequence: null },
        usage: { output_tokens: 5 },
    });
    event("message_stop", {});
    response.end();
}

// The error types the Messages API names its failures by.
const errorTypes = {
    400: "invalid_request_error",
    401: "authentication_error",
    429: "rate_limit_error",
    500: "api_error",
    529: "overloaded_error",
};

function sendFailure(response, status) {
    const type = errorTypes[status] ?? "api_error";
    sendJson(response, status, { type: "error", error: { type, message: `fake ${type}` } });
}

function handle(request, response, body) {
    const path = new URL(request.url, "http://127.0.0.1").pathname;
    let json = {};
    try {
        json = body.length ? JSON.parse(body) : {};
    } catch {
        log(`${request.method} ${path}: body is not JSON`);
        return sendJson(response, 400, {
            type: "error",
            error: { type: "invalid_request_error", message: "body is not JSON" },
        });
    }
    if (request.method === "POST" && path === "/v1/messages/count_tokens") {
        log(`${request.method} ${path}`);
        return sendJson(response, 200, { input_tokens: 10 });
    }
    const status = failureStatus || (hasToolResult(json) ? failureAfterToolStatus : 0);
    if (request.method === "POST" && path === "/v1/messages" && status) {
        log(`${request.method} ${path} tool_result=${hasToolResult(json)} -> ${status}`);
        return sendFailure(response, status);
    }
    if (request.method === "POST" && path === "/v1/messages") {
        const answer = answerFor(json);
        log(`${request.method} ${path} stream=${json.stream === true} tools=${(json.tools ?? []).length} ` +
            `tool_result=${hasToolResult(json)} -> ${answer.blocks.map((b) => b.type).join(",")}`);
        if (json.stream === true) {
            return sendStream(response, json, answer);
        }
        return sendJson(response, 200, message(json, answer, answer.blocks));
    }
    log(`${request.method} ${path}: not modelled, empty answer`);
    return sendJson(response, 200, {});
}

const server = http.createServer((request, response) => {
    const chunks = [];
    request.on("data", (chunk) => chunks.push(chunk));
    request.on("end", () => handle(request, response, Buffer.concat(chunks).toString("utf8")));
});

server.listen(0, "127.0.0.1", () => {
    process.stdout.write(`${server.address().port}\n`);
});

setTimeout(() => {
    log(`lifetime of ${lifetimeSeconds} s is over`);
    process.exit(0);
}, lifetimeSeconds * 1000);

try {
    if (fs.fstatSync(0).isFIFO()) {
        process.stdin.on("end", () => process.exit(0));
        process.stdin.on("error", () => process.exit(0));
        process.stdin.resume();
    }
} catch {
    // No standard input at all: the lifetime alone bounds the run.
}

// The page's one element lookup.
export const $ = (selector) => document.querySelector(selector);

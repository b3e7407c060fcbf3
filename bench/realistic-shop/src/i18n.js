import en from './locales/en.json'
export function t(key) {
  return key.split('.').reduce((o, part) => (o ? o[part] : undefined), en) ?? key
}
